#include "EventLoopWait.h"
#include "outgoing/ModuleScreenSnapshot.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

// Needs a real display: the capture reads what the X server shows.
class TestScreenCapture : public QObject {
    Q_OBJECT
private slots:
    void writesAJpegOfTheWholePrimaryScreen() {
        // The X server under test is the session, whatever desktop the tests are started from.
        qputenv("XDG_SESSION_TYPE", "x11");
        qunsetenv("WAYLAND_DISPLAY");
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("57_20240305140709.jpg"));
        QVERIFY(answerOf<bool>(
            [&path](auto done) { ModuleScreenSnapshot::CaptureScreen(path, done); }));
        const QScreen *screen = QGuiApplication::primaryScreen();
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), screen->geometry().size() * screen->devicePixelRatio());
    }
};

QTEST_MAIN(TestScreenCapture)
#include "tst_screencapture.moc"
