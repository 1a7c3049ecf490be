#include "bubble/ChatMessage.h"
#include "chat/MessageCanvas.h"
#include "core/AppState.h"
#include "viewer/ImgFrm.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QString kLink = QStringLiteral("https://esempio.it/Pagina");
const QString kCode = QStringLiteral("codice ABC-123 da copiare");

qint64 residentKiB() {
    QFile file(QStringLiteral("/proc/self/status"));
    const QByteArray status = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return status.mid(status.indexOf("VmRSS:") + 6).trimmed().split(' ').value(0).toLongLong();
}
} // namespace

class TestMessageCanvas : public QObject {
    Q_OBJECT
    QTemporaryDir m_app;
    QList<QUrl> m_opened;
    MessageCanvas m_canvas;

public slots:
    void open(const QUrl &url) { m_opened << url; }

private slots:
    // Bubble 0 (at the top) is a link, bubble 1 (27 px down) a text, bubble 2 (55 px down) a
    // picture; inside a bubble the text starts at x 72, a picture at x 63.
    void initTestCase() {
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(QDir(m_app.path()).mkpath("TempImg"));
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(m_app.filePath("TempImg/a.png")));
        QDesktopServices::setUrlHandler("https", this, "open");
        m_canvas.addMessage({"14:05", 7, kLink, false, true, 0x00FF8400, 0x00FFFFFF});
        m_canvas.addMessage({"14:06", 0, kCode, false, false, 0x00F0E8E3, 0});
        m_canvas.addMessage({"14:07", 7, "a.png", true, false, 0x00FF8400, 0x00FFFFFF});
        m_canvas.resize(400, 300);
        m_canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_canvas));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("https"); }
    void init() { m_opened.clear(); }

    void pointer_data() {
        QTest::addColumn<QPoint>("where");
        QTest::addColumn<Qt::CursorShape>("shape");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::addColumn<QSize>("viewer"); // the picture it shows, if shown
        QTest::newRow("link: hand, opens as written")
            << QPoint(80, 10) << Qt::BitmapCursor << QList<QUrl>{QUrl(kLink)} << QSize();
        QTest::newRow("text: beam")
            << QPoint(80, 37) << Qt::IBeamCursor << QList<QUrl>() << QSize();
        QTest::newRow("picture: hand, full size in the viewer")
            << QPoint(100, 80) << Qt::BitmapCursor << QList<QUrl>() << QSize(644, 322);
        QTest::newRow("beside") << QPoint(20, 150) << Qt::ArrowCursor << QList<QUrl>() << QSize();
    }
    void pointer() {
        QFETCH(QPoint, where);
        QTest::mouseMove(&m_canvas, where);
        QTEST(m_canvas.cursor().shape(), "shape");
        QTest::mouseClick(&m_canvas, Qt::LeftButton, {}, where);
        QTEST(m_opened, "opened");
        const QLabel *shown = ImgFrm::instance().findChild<QLabel *>("Image1");
        QTEST(ImgFrm::instance().isVisible() ? shown->pixmap().size() : QSize(), "viewer");
        ImgFrm::instance().hide();
    }

    // A drag from a line's first character past its end selects it, over a link too without
    // opening it; Ctrl+C copies the selection, "Copia" alone in the menu the whole bubble.
    void selectAndCopy() {
        QClipboard *clipboard = QGuiApplication::clipboard();
        for (const int y : {10, 37}) {
            QTest::mousePress(&m_canvas, Qt::LeftButton, {}, QPoint(73, y));
            QTest::mouseMove(&m_canvas, QPoint(395, y));
            QTest::mouseRelease(&m_canvas, Qt::LeftButton, {}, QPoint(395, y));
            QTest::keyClick(&m_canvas, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(clipboard->text(), y == 10 ? kLink : kCode);
        }
        QVERIFY(m_opened.isEmpty());
        QTest::mouseClick(&m_canvas, Qt::LeftButton, {}, QPoint(20, 150));
        clipboard->clear();
        QTimer::singleShot(0, this, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu && menu->actions().size() == 1);
            QCOMPARE(menu->actions().first()->text(), "Copia");
            menu->actions().first()->trigger();
            menu->close();
        });
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(80, 10),
                               m_canvas.mapToGlobal(QPoint(80, 10)));
        QCoreApplication::sendEvent(&m_canvas, &menu);
        QCOMPARE(clipboard->text(), kLink);
    }

    // Six 5600x5600 pictures would take 750 MiB at full size; the list keeps 322x322 thumbnails.
    void hugePicturesKeepOnlyThumbnails() {
        QImage huge(5600, 5600, QImage::Format_RGB32);
        huge.fill(Qt::darkCyan);
        QVERIFY(huge.save(m_app.filePath("TempImg/huge.png")));
        huge = QImage();
        const qint64 before = residentKiB();
        MessageCanvas canvas;
        for (int i = 0; i < 6; ++i)
            canvas.addMessage({"14:05", 7, "huge.png", true, false, 0x00FF8400, 0x00FFFFFF});
        canvas.resize(400, 6 * 332);
        QImage painted(canvas.size(), QImage::Format_RGB32);
        canvas.render(&painted);
        QCOMPARE(painted.pixelColor(200, 6 * 332 - 40), QColor(Qt::darkCyan)); // the last, painted
        QVERIFY2(residentKiB() - before < 64 * 1024, "more than 64 MiB");
    }
};

QTEST_MAIN(TestMessageCanvas)
#include "tst_messagecanvas.moc"
