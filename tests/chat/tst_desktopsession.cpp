#include "PrivateSessionBus.h"

#include "chat/DesktopSession.h"
#include "chat/ModuleScreenSnapshot.h"
#include "chat/PortalScreenshot.h"

#include "core/AppState.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <optional>

namespace {

// Bounds waits for the private bus on a loaded machine so that a fault ends the test; it
// measures nothing.
constexpr int kBusPatienceMs = 30000;

enum class PortalAnswer {
    Granted,         // the picture, after the call's reply, as portals answer
    GrantedEarly,    // the picture, before the call's reply
    Cancelled,       // response 1
    Refused,         // response 2
    GrantedNoFile,   // response 0 naming a file that does not exist
    GrantedNotLocal, // response 0 naming a picture elsewhere than on this machine
    Silent,          // the request stays open
};

// The request a silent portal leaves open; the client closes it when it gives up.
class FakeRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    QStringList *calls = nullptr;
public slots:
    void Close() { *calls << QStringLiteral("Close"); }
};

class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    QList<PortalAnswer> answers;
    QStringList calls;
    QString picture;
    FakeRequest request;

public slots:
    QDBusObjectPath Screenshot(const QString &parentWindow, const QVariantMap &options) {
        calls << QStringLiteral("Screenshot '%1' interactive %2")
                     .arg(parentWindow, options.value("interactive").toBool() ? "true" : "false");
        const QString handle = "/org/freedesktop/portal/desktop/request/" +
                               message().service().mid(1).replace('.', '_') + '/' +
                               options.value("handle_token").toString();
        const PortalAnswer answer = answers.isEmpty() ? PortalAnswer::Silent : answers.takeFirst();
        if (answer == PortalAnswer::Silent) {
            request.calls = &calls;
            connection().registerObject(handle, &request, QDBusConnection::ExportAllSlots);
            return QDBusObjectPath(handle);
        }
        const uint code = answer == PortalAnswer::Cancelled ? 1
                          : answer == PortalAnswer::Refused ? 2
                                                            : 0;
        QString uri = QUrl::fromLocalFile(picture).toString();
        if (answer == PortalAnswer::GrantedNoFile)
            uri = QUrl::fromLocalFile(picture + ".gone").toString();
        else if (answer == PortalAnswer::GrantedNotLocal)
            uri = "https://example.invalid/screen.png";
        QDBusMessage response =
            QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
        response << code << QVariantMap{{"uri", uri}};
        const QDBusMessage reply =
            message().createReply(QVariant::fromValue(QDBusObjectPath(handle)));
        setDelayedReply(true);
        if (answer == PortalAnswer::GrantedEarly)
            connection().send(response);
        connection().send(reply);
        if (answer != PortalAnswer::GrantedEarly)
            connection().send(response);
        return {};
    }
};

} // namespace

Q_DECLARE_METATYPE(PortalAnswer)

class TestDesktopSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void platformFollowsTheSession_data();
    void platformFollowsTheSession();
    void captureThroughThePortal_data();
    void captureThroughThePortal();
    void captureNeverWritesThroughALink();

private:
    PrivateSessionBus m_bus;
    std::optional<QDBusConnection> m_desktop;
    std::optional<QDBusConnection> m_client;
    FakePortal m_portal;
    QTemporaryDir m_folder;
};

void TestDesktopSession::initTestCase() {
    QVERIFY(m_bus.isRunning());
    m_desktop = m_bus.connect("desktop");
    m_client = m_bus.connect("client");
    QVERIFY(m_desktop->isConnected() && m_client->isConnected());
    QVERIFY(m_desktop->registerObject("/org/freedesktop/portal/desktop", &m_portal,
                                      QDBusConnection::ExportAllSlots));
    m_portal.picture = m_folder.filePath("screen.png");
    QImage screen(37, 23, QImage::Format_RGB32);
    screen.fill(Qt::darkCyan);
    QVERIFY(screen.save(m_portal.picture, "PNG"));
}

void TestDesktopSession::platformFollowsTheSession_data() {
    QTest::addColumn<QString>("sessionType");
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("userPlatform");
    QTest::addColumn<QByteArray>("platform"); // empty: Qt's own choice
    QTest::addColumn<bool>("wayland");
    const QString unset;
    const QString wayland = "wayland";
    const QString socket = "wayland-0";
    const QString xDisplay = ":0";
    QTest::newRow("X11 session: Qt's own choice")
        << "x11" << unset << xDisplay << unset << QByteArray() << false;
    QTest::newRow("Wayland with XWayland: an X client")
        << wayland << socket << xDisplay << unset << QByteArray("xcb") << true;
    QTest::newRow("Wayland socket alone marks the session")
        << unset << socket << xDisplay << unset << QByteArray("xcb") << true;
    QTest::newRow("Wayland without XWayland: native")
        << wayland << socket << unset << unset << QByteArray("wayland") << true;
    QTest::newRow("empty DISPLAY is no XWayland")
        << wayland << socket << "" << unset << QByteArray("wayland") << true;
    QTest::newRow("the user's platform stands")
        << wayland << socket << xDisplay << wayland << QByteArray() << true;
    QTest::newRow("an empty user platform is none")
        << wayland << socket << xDisplay << "" << QByteArray("xcb") << true;
    QTest::newRow("text console: Qt's own choice")
        << "tty" << unset << unset << unset << QByteArray() << false;
}

void TestDesktopSession::platformFollowsTheSession() {
    QFETCH(QString, sessionType);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, display);
    QFETCH(QString, userPlatform);
    QFETCH(QByteArray, platform);
    QFETCH(bool, wayland);
    QProcessEnvironment environment;
    for (const auto &[name, value] : {std::pair{"XDG_SESSION_TYPE", sessionType},
                                      {"WAYLAND_DISPLAY", waylandDisplay},
                                      {"DISPLAY", display},
                                      {"QT_QPA_PLATFORM", userPlatform}})
        if (!value.isNull())
            environment.insert(name, value);
    QCOMPARE(DesktopSession::choosePlatform(environment).value_or(QByteArray()), platform);
    QCOMPARE(DesktopSession::isWayland(environment), wayland);
}

void TestDesktopSession::captureThroughThePortal_data() {
    QTest::addColumn<bool>("portalOnBus");
    QTest::addColumn<QList<PortalAnswer>>("answers");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QSize>("jpegSize"); // invalid: no file written
    const QString unattended = "Screenshot '' interactive false";
    const QString asking = "Screenshot '' interactive true";
    using A = PortalAnswer;
    QTest::newRow("granted: a JPEG of the portal's picture")
        << true << QList{A::Granted} << 10000 << QStringList{unattended} << QSize(37, 23);
    QTest::newRow("answer before the call returns: still heard")
        << true << QList{A::GrantedEarly} << 10000 << QStringList{unattended} << QSize(37, 23);
    QTest::newRow("refused unattended: asks the user once")
        << true << QList{A::Refused, A::Granted} << 10000 << QStringList{unattended, asking}
        << QSize(37, 23);
    QTest::newRow("cancelled twice: no file") << true << QList{A::Cancelled, A::Cancelled} << 10000
                                              << QStringList{unattended, asking} << QSize();
    QTest::newRow("granted without the file: no file")
        << true << QList{A::GrantedNoFile} << 10000 << QStringList{unattended} << QSize();
    QTest::newRow("granted with a remote picture: no file")
        << true << QList{A::GrantedNotLocal} << 10000 << QStringList{unattended} << QSize();
    QTest::newRow("silent: the request is closed, no file")
        << true << QList{A::Silent} << 200 << QStringList{unattended, "Close"} << QSize();
    QTest::newRow("no portal on the bus: no file")
        << false << QList<PortalAnswer>() << 10000 << QStringList() << QSize();
}

void TestDesktopSession::captureThroughThePortal() {
    QFETCH(bool, portalOnBus);
    QFETCH(QList<PortalAnswer>, answers);
    QFETCH(int, limitMs);
    QFETCH(QStringList, calls);
    QFETCH(QSize, jpegSize);
    const QString service = "org.freedesktop.portal.Desktop";
    if (portalOnBus)
        QVERIFY(m_desktop->registerService(service));
    else
        m_desktop->unregisterService(service);
    m_portal.answers = answers;
    m_portal.calls.clear();
    const QString path = m_folder.filePath("57_20240305140709.jpg");
    QFile::remove(path);

    const std::chrono::milliseconds limit(limitMs);
    PortalScreenshot portal(*m_client, {limit, limit});
    const bool captured =
        ModuleScreenSnapshot::CaptureScreen(path, [&portal] { return portal.take(); });

    QCOMPARE(captured, jpegSize.isValid());
    QCOMPARE(QFile::exists(path), jpegSize.isValid());
    if (jpegSize.isValid()) {
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), jpegSize);
    }
    QVERIFY(QTest::qWaitFor([&] { return m_portal.calls.size() >= calls.size(); }, kBusPatienceMs));
    QCOMPARE(m_portal.calls, calls);
}

// A link planted in the picture folder under the next screenshot's name points outside.
void TestDesktopSession::captureNeverWritesThroughALink() {
    QTemporaryDir folder;
    const QString outside = folder.filePath("outside.txt");
    QFile original(outside);
    QVERIFY(original.open(QIODevice::WriteOnly) && original.write("fuori") == 5);
    original.close();
    AppState::instance().ApplicationFolder = folder.filePath("app");
    QVERIFY(QDir().mkpath(folder.filePath("app/TempImg")));
    const QString path = folder.filePath("app/TempImg/57_20240305140709.jpg");
    QVERIFY(QFile::link(outside, path));
    QVERIFY(!ModuleScreenSnapshot::CaptureScreen(
        path, [] { return QImage(8, 8, QImage::Format_RGB32); }));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), QByteArray("fuori"));
}

QTEST_MAIN(TestDesktopSession)
#include "tst_desktopsession.moc"
