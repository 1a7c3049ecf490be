#include "bubble/ChatMessage.h"
#include "chat/MessageCanvas.h"
#include "core/AppState.h"
#include "viewer/ImgFrm.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kOperatorBack = 0x00FF8400;
constexpr quint32 kOperatorFore = 0x00FFFFFF;
const QString kLink = u"https://esempio.it/Pagina"_s;
const QString kCode = u"codice ABC-123 da copiare"_s;

// Bubble 0 (1 px in, at the top) is a link, bubble 1 (27 px down) a text, bubble 2 (55 px
// down) a picture; inside a bubble the text starts at (72, 5) and a picture at (63, 2).
constexpr QPoint kOnLink(80, 10);
constexpr QPoint kOnText(80, 37);
constexpr QPoint kOnPicture(100, 80);
constexpr QPoint kBesideBubbles(20, 150);

enum class Opens { Nothing, Link, Viewer };

} // namespace

class TestMessageCanvas : public QObject {
    Q_OBJECT
    QTemporaryDir m_appFolder;
    QList<QUrl> m_opened;

public slots:
    void open(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_appFolder.path()).mkpath(u"TempImg"_s));
        AppState::instance().ApplicationFolder = m_appFolder.path();
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(m_appFolder.filePath("TempImg/a.png")));
        QDesktopServices::setUrlHandler(u"https"_s, this, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"https"_s); }

    void pointer_data();
    void pointer();
    void selectAndCopy();
    void hugePicturesKeepOnlyThumbnails();
};

static void fill(MessageCanvas &canvas) {
    canvas.addMessage({u"14:05"_s, 7, kLink, false, true, kOperatorBack, kOperatorFore});
    canvas.addMessage({u"14:06"_s, 0, kCode, false, false, 0x00F0E8E3, 0});
    canvas.addMessage({u"14:07"_s, 7, u"a.png"_s, true, false, kOperatorBack, kOperatorFore});
    canvas.resize(400, 300);
    canvas.show();
}

void TestMessageCanvas::pointer_data() {
    QTest::addColumn<QPoint>("where");
    QTest::addColumn<Qt::CursorShape>("shape");
    QTest::addColumn<Opens>("opens");
    QTest::newRow("link: hand, opens as written") << kOnLink << Qt::BitmapCursor << Opens::Link;
    QTest::newRow("text: beam, opens nothing") << kOnText << Qt::IBeamCursor << Opens::Nothing;
    QTest::newRow("picture: hand, full size in the viewer")
        << kOnPicture << Qt::BitmapCursor << Opens::Viewer;
    QTest::newRow("beside the bubbles") << kBesideBubbles << Qt::ArrowCursor << Opens::Nothing;
}

void TestMessageCanvas::pointer() {
    QFETCH(QPoint, where);
    QFETCH(Opens, opens);
    MessageCanvas canvas;
    fill(canvas);
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    ImgFrm::instance().hide();
    m_opened.clear();
    QTest::mouseMove(&canvas, where);
    QTEST(canvas.cursor().shape(), "shape");
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, where);
    QCOMPARE(m_opened, opens == Opens::Link ? QList<QUrl>{QUrl(kLink)} : QList<QUrl>());
    QCOMPARE(ImgFrm::instance().isVisible(), opens == Opens::Viewer);
    if (opens == Opens::Viewer)
        QCOMPARE(ImgFrm::instance().findChild<QLabel *>("Image1")->pixmap().size(),
                 QSize(644, 322));
    ImgFrm::instance().hide();
}

void TestMessageCanvas::selectAndCopy() {
    MessageCanvas canvas;
    fill(canvas);
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    QClipboard *clipboard = QGuiApplication::clipboard();

    // From the text's first character to past its end, then Ctrl+C.
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(72, 37));
    QTest::mouseMove(&canvas, QPoint(395, 37));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(395, 37));
    QCOMPARE(canvas.selectedText(), kCode);
    clipboard->clear();
    QTest::keyClick(&canvas, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), kCode);

    // A double click takes one word; a drag over a link selects instead of opening it.
    QTest::mouseDClick(&canvas, Qt::LeftButton, {}, QPoint(76, 37));
    QCOMPARE(canvas.selectedText(), u"codice"_s);
    m_opened.clear();
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(73, 10));
    QTest::mouseMove(&canvas, QPoint(395, 10));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(395, 10));
    QCOMPARE(canvas.selectedText(), kLink);
    QVERIFY(m_opened.isEmpty());

    // With nothing selected, "Copia" in the context menu copies the bubble's whole text.
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, kBesideBubbles);
    QCOMPARE(canvas.selectedText(), QString());
    clipboard->clear();
    QTimer::singleShot(0, this, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu && menu->actions().size() == 1);
        QCOMPARE(menu->actions().first()->text(), u"Copia"_s);
        menu->actions().first()->trigger();
        menu->close();
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, kOnText, canvas.mapToGlobal(kOnText));
    QCoreApplication::sendEvent(&canvas, &menuEvent);
    QCOMPARE(clipboard->text(), kCode);
}

static qint64 residentKiB() {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Six 5600x5600 pictures would take 750 MiB at full size; the list keeps 322x322 thumbnails.
void TestMessageCanvas::hugePicturesKeepOnlyThumbnails() {
    {
        QImage huge(5600, 5600, QImage::Format_RGB32);
        huge.fill(Qt::darkCyan);
        QVERIFY(huge.save(m_appFolder.filePath("TempImg/huge.png")));
    }
    const qint64 before = residentKiB();
    MessageCanvas canvas;
    for (int i = 0; i < 6; ++i)
        canvas.addMessage(
            {u"14:05"_s, 7, u"huge.png"_s, true, false, kOperatorBack, kOperatorFore});
    canvas.resize(400, 6 * 332);
    QImage painted(canvas.size(), QImage::Format_RGB32);
    canvas.render(&painted);
    QCOMPARE(painted.pixelColor(200, 6 * 332 - 40), QColor(Qt::darkCyan)); // the last one, painted
    const qint64 grownKiB = residentKiB() - before;
    QVERIFY2(grownKiB < 64 * 1024, qPrintable(QString::number(grownKiB)));
}

QTEST_MAIN(TestMessageCanvas)
#include "tst_messagecanvas.moc"
