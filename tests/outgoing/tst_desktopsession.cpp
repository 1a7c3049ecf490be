#include "EventLoopWait.h"
#include "PrivateSessionBus.h"

#include "outgoing/DesktopSession.h"
#include "outgoing/ModuleScreenSnapshot.h"
#include "outgoing/PortalScreenshot.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtDBus>

// Granted and Refused answer before the call's reply, which the client must hear all the same.
enum class PortalAnswer { Granted, Refused, Silent };

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
        setDelayedReply(true);
        connection().send(response);
        connection().send(message().createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        return {};
    }
};

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
        session.insert("XDG_SESSION_TYPE", "wayland");
        QCOMPARE(DesktopSession::choosePlatform(session), "xcb"); // with XWayland: an X client
        session.remove("DISPLAY");
        QCOMPARE(DesktopSession::choosePlatform(session), "wayland"); // without XWayland: native
    }

    void captureThroughThePortal_data() {
        QTest::addColumn<QList<PortalAnswer>>("answers");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QList<bool>>("interactive"); // of each call
        QTest::newRow("refused unattended: asks once more")
            << QList{PortalAnswer::Refused, PortalAnswer::Granted} << true << QList{false, true};
        QTest::newRow("silent: given up, no file")
            << QList{PortalAnswer::Silent} << false << QList{false};
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
                     ModuleScreenSnapshot::CaptureScreen(
                         path, [&portal](auto taken) { portal.take(taken); }, done);
                 }),
                 written);
        QCOMPARE(QImageReader(path).size(), written ? QSize(37, 23) : QSize());
        QTEST(m_portal.interactive, "interactive");
    }
};

QTEST_MAIN(TestDesktopSession)
#include "tst_desktopsession.moc"
