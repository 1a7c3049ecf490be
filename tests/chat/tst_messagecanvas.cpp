#include "TestFiles.h"
#include "TestPictures.h"

#include "bubble/ChatMessage.h"
#include "chat/MessageCanvas.h"
#include "core/AppState.h"
#include "viewer/ImgFrm.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kLink = QStringLiteral("https://esempio.it/Pagina");
const QString kCode = QStringLiteral("codice ABC-123 da copiare");
} // namespace

class TestMessageCanvas : public QObject {
    Q_OBJECT
    QTemporaryDir m_app;
    QString m_opened;
    MessageCanvas m_canvas;

    // Moves the pointer there, clicks, and gives the pointer's shape there.
    Qt::CursorShape click(QPoint at) {
        QTest::mouseMove(&m_canvas, at);
        QTest::mouseClick(&m_canvas, Qt::LeftButton, {}, at);
        return m_canvas.cursor().shape();
    }

public slots:
    void open(const QUrl &url) { m_opened += url.toString(); }

private slots:
    // Bubble 0 (at the top) is a link, bubble 1 (27 px down) a text, bubble 2 (55 px down) a
    // picture, bubble 3 (224 px down) a picture stored on its side; inside a bubble the text
    // starts at x 72, a picture at x 63.
    void initTestCase() {
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(QDir(m_app.path()).mkpath("TempImg"));
        QVERIFY(QImage(644, 322, QImage::Format_RGB32).save(m_app.filePath("TempImg/a.png")));
        QVERIFY(writeFile(m_app.filePath("TempImg/girata.jpg"), jpegWithOrientation({160, 80}, 6)));
        QDesktopServices::setUrlHandler("https", this, "open");
        m_canvas.addMessage({"14:05", 7, kLink, false, true, 0x00FF8400, 0x00FFFFFF});
        m_canvas.addMessage({"14:06", 0, kCode, false, false, 0x00F0E8E3, 0});
        m_canvas.addMessage({"14:07", 7, "a.png", true, false, 0x00FF8400, 0x00FFFFFF});
        m_canvas.addMessage({"14:08", 7, "girata.jpg", true, false, 0x00FF8400, 0x00FFFFFF});
        m_canvas.resize(400, 300);
        m_canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_canvas));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("https"); }

    // A drag from the link's first character past its end selects it without opening it, and
    // Ctrl+C copies it. A hand over the link, which a click opens as written, and over a picture,
    // which a click shows full size in the viewer; a beam over text; an arrow beside the bubbles.
    void pointer() {
        QTest::mousePress(&m_canvas, Qt::LeftButton, {}, QPoint(73, 10));
        QTest::mouseMove(&m_canvas, QPoint(395, 10));
        QTest::mouseRelease(&m_canvas, Qt::LeftButton, {}, QPoint(395, 10));
        QTest::keyClick(&m_canvas, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), kLink);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(click({80, 10}), Qt::BitmapCursor);
        QCOMPARE(click({80, 37}), Qt::IBeamCursor);
        QCOMPARE(click({20, 150}), Qt::ArrowCursor);
        QCOMPARE(click({100, 80}), Qt::BitmapCursor);
        QVERIFY(ImgFrm::instance().isVisible());
        QCOMPARE(ImgFrm::instance().findChild<QLabel *>("Image1")->pixmap().size(),
                 QSize(644, 322));
        QCOMPARE(m_opened, kLink);
    }

    // A photo stored on its side, as a phone writes it: upright in the bubble and in the viewer.
    void turnedPictureStandsUpright() {
        const QImage painted = m_canvas.grab().toImage();
        // The thumbnail is 322 px wide, so 644 px high once upright; its first 76 px show here.
        QCOMPARE(colourLetter(painted.pixelColor(100, 240)), 'b');
        QCOMPARE(colourLetter(painted.pixelColor(350, 240)), 'r');
        QCOMPARE(click({100, 260}), Qt::BitmapCursor);
        const QImage shown = ImgFrm::instance().findChild<QLabel *>("Image1")->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(80, 160));
        QCOMPARE(corners(shown), "bryg");
    }
};

QTEST_MAIN(TestMessageCanvas)
#include "tst_messagecanvas.moc"
