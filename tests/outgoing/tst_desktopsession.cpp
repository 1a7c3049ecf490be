#include "EventLoopWait.h"
#include "PrivateSessionBus.h"

#include "outgoing/DesktopSession.h"
#include "outgoing/ModuleScreenSnapshot.h"
#include "outgoing/PortalScreenshot.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtDBus>

enum class PortalAnswer {
    GrantedEarly, // the picture, before the call's reply
    Refused,      // response 2
    Silent,       // the request stays open
};

class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    QList<PortalAnswer> answers;
    QList<bool> interactive; // of each call
    QString picture;

public slots:
    QDBusObjectPath Screenshot(const QString &, const QVariantMap &options) {
        interactive << options.value("interactive").toBool();
        const QString handle = "/org/freedesktop/portal/desktop/request/" +
                               message().service().mid(1).replace('.', '_') + '/' +
                               options.value("handle_token").toString();
        const PortalAnswer answer = answers.takeFirst();
        if (answer == PortalAnswer::Silent)
            return QDBusObjectPath(handle);
        auto response =
            QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
        response << uint(answer == PortalAnswer::Refused ? 2 : 0)
                 << QVariantMap{{"uri", QUrl::fromLocalFile(picture).toString()}};
        const auto reply = message().createReply(QVariant::fromValue(QDBusObjectPath(handle)));
        setDelayedReply(true);
        const bool early = answer == PortalAnswer::GrantedEarly;
        connection().send(early ? response : reply);
        connection().send(early ? reply : response);
        return {};
    }
};

using namespace ModuleScreenSnapshot;

class TestDesktopSession : public QObject {
    Q_OBJECT
    PrivateSessionBus m_bus;
    FakePortal m_portal;
    QTemporaryDir m_folder;

private slots:
    void initTestCase() {
        QDBusConnection desktop = m_bus.connect("desktop");
        QVERIFY(desktop.registerService("org.freedesktop.portal.Desktop") &&
                desktop.registerObject("/org/freedesktop/portal/desktop", &m_portal,
                                       QDBusConnection::ExportAllSlots));
        m_portal.picture = m_folder.filePath("screen.png");
        QVERIFY(QImage(37, 23, QImage::Format_RGB32).save(m_portal.picture, "PNG"));
    }

    void platformFollowsTheSession() {
        QProcessEnvironment session;
        session.insert("XDG_SESSION_TYPE", "x11");
        session.insert("DISPLAY", ":0");
        QCOMPARE(DesktopSession::choosePlatform(session), std::nullopt); // Qt's own choice
        QVERIFY(!DesktopSession::isWayland(session));
        session.insert("XDG_SESSION_TYPE", "wayland");
        session.insert("WAYLAND_DISPLAY", "wayland-0");
        QCOMPARE(DesktopSession::choosePlatform(session), "xcb"); // with XWayland: an X client
        QVERIFY(DesktopSession::isWayland(session));
        session.remove("DISPLAY");
        QCOMPARE(DesktopSession::choosePlatform(session), "wayland"); // without XWayland: native
    }

    void captureThroughThePortal_data() {
        QTest::addColumn<QList<PortalAnswer>>("answers");
        QTest::addColumn<bool>("written");
        QTest::newRow("refused unattended: asks once; an answer before the reply is heard")
            << QList{PortalAnswer::Refused, PortalAnswer::GrantedEarly} << true;
        QTest::newRow("silent: given up, no file") << QList{PortalAnswer::Silent} << false;
    }
    void captureThroughThePortal() {
        QFETCH(QList<PortalAnswer>, answers);
        QFETCH(bool, written);
        m_portal.answers = answers;
        m_portal.interactive.clear();
        const QString path = m_folder.filePath(QTest::currentDataTag()) + ".jpg";
        const std::chrono::milliseconds limit(answers == QList{PortalAnswer::Silent} ? 200 : 10000);
        PortalScreenshot portal(m_bus.connect("client"), {limit, limit});
        QCOMPARE(answerOf<bool>([&](auto done) {
                     CaptureScreen(
                         path, [&portal](auto taken) { portal.take(taken); }, done);
                 }),
                 written);
        QCOMPARE(QImageReader(path).size(), written ? QSize(37, 23) : QSize());
        QCOMPARE(m_portal.interactive, (written ? QList{false, true} : QList{false}));
    }

    // A link planted in the picture folder under the next screenshot's name points outside.
    void captureNeverWritesThroughALink() {
        const QString outside = m_folder.filePath("outside.txt"), path = m_folder.filePath("a.jpg");
        QVERIFY(QFile(outside).open(QIODevice::WriteOnly) && QFile::link(outside, path));
        QVERIFY(!answerOf<bool>([&path](auto done) {
            CaptureScreen(
                path, [](auto taken) { taken(QImage(8, 8, QImage::Format_RGB32)); }, done);
        }));
        QCOMPARE(QFileInfo(outside).size(), 0);
    }
};

QTEST_MAIN(TestDesktopSession)
#include "tst_desktopsession.moc"
