#include "core/Windows1252.h"
#include "service/Base64.h"
#include "service/Envelopes.h"
#include "service/UrlEncode.h"

#include "ServiceProcess.h"

#include <httplib.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr auto kDue = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTre = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr auto kUpload = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
constexpr auto kDownload = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";
constexpr auto kStartupVat = "11111111111"; // ticket 1, opened by --open-ticket
// A generous guard so that a broken service fails the test instead of hanging it.
constexpr int kGuardMs = 30000;
const QByteArray kPng("\x89PNG\r\n\x1A\n", 8);

// The operator API's routes, the console page, and one route of the client's.
enum class Route {
    ListTickets,
    OpenTicket,
    CloseTicket,
    Conversation,
    SendText,
    SendPicture,
    ConsolePage,
    ClientSoap
};
// How a request departs from the one the console (on the client's route, the client) makes.
enum class Departure { None, LocalhostName, NoToken, WrongToken, TextPlain, ForeignHost };

struct Reply {
    int status = 0; // 0 when no answer came
    QByteArray body;
};

struct Call {
    bool isWrite = false;
    std::string path;
    std::string body;
    std::string type;
};

// As the console (on the client's route, the client) calls the route on the ticket.
Call callOf(Route route, qint32 ticket) {
    const std::string on = "/api/tickets/" + std::to_string(ticket);
    const std::string json = "application/json";
    switch (route) {
    case Route::ListTickets:
        return {false, "/api/tickets", {}, {}};
    case Route::OpenTicket:
        return {true, "/api/tickets", R"({"vat":"55555555555"})", json};
    case Route::CloseTicket:
        return {true, on + "/close", {}, json};
    case Route::Conversation:
        return {false, on + "/messages", {}, {}};
    case Route::SendText:
        return {true, on + "/messages", R"({"testo":"[CMD]supremo"})", json};
    case Route::SendPicture:
        return {true, on + "/pictures?name=a.png", kPng.toStdString(), "image/png"};
    case Route::ConsolePage:
        return {false, "/operator", {}, {}};
    case Route::ClientSoap:
        return {true, kDue, BuildGetTicket(kStartupVat).toStdString(), "text/xml; charset=utf-8"};
    }
    return {};
}

// As the client uploads a file.
QByteArray uploadBody(const QByteArray &bytes) {
    return "documento=" + UrlEncode(Base64().Encode(Windows1252::decode(bytes))).toLatin1();
}

} // namespace

Q_DECLARE_METATYPE(Route)
Q_DECLARE_METATYPE(Departure)

// The real service program as a child process on a port the system chooses, reached over plain
// HTTP so that the tests see the statuses and bytes the client's transport hides. Each case
// works on a ticket of its own.
class TestLocalService : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    const QStringList m_storage{"--db", m_folder.filePath("chat.db"), "--files", m_folder.path()};
    ServiceProcess m_service;
    // With the operator's token, which the client's routes ignore.
    std::unique_ptr<httplib::Client> m_client;
    qint64 m_lastVat = 30000000000;
    qint32 m_rowTicket = 0;

    bool start(const QStringList &options) {
        if (!m_service.start(BRENNO_SERVICE_PROGRAM, options, kGuardMs))
            return false;
        m_client = m_service.operatorClient(kGuardMs / 1000);
        return true;
    }
    // SIGTERM; a clean exit is 0, also under the leak checker.
    int stop() { return m_service.stop(kGuardMs); }
    static Reply toReply(const httplib::Result &result) {
        return result ? Reply{result->status, QByteArray::fromStdString(result->body)} : Reply{};
    }
    Reply get(const std::string &path) { return toReply(m_client->Get(path)); }
    // As the console sends them: a picture with its own type, anything else as JSON. The
    // client's routes read the body whatever its type.
    Reply post(const std::string &path, const QByteArray &body) {
        const bool picture = path.find("/pictures?") != std::string::npos;
        return toReply(
            m_client->Post(path, body.toStdString(), picture ? "image/png" : "application/json"));
    }
    std::pair<qint32, QString> freshTicket() {
        const QByteArray vat = QByteArray::number(++m_lastVat);
        return {
            QJsonDocument::fromJson(post("/api/tickets", "{\"vat\":\"" + vat + "\"}").body)["id"]
                .toInt(),
            vat};
    }
    Reply getChat(qint32 id, const QString &vat, int typing = 0) {
        return post(kTre, BuildGetChat(id, 0, qint16(typing), vat).toUtf8());
    }
    // A row on a ticket of its own, which the row's path and body then name.
    QTestData &newRow(const char *name) {
        const auto [id, vat] = freshTicket();
        m_rowTicket = id;
        return QTest::newRow(name) << id << vat;
    }
    QString onRowTicket(const QString &tail) const {
        return "/api/tickets/" + QString::number(m_rowTicket) + tail;
    }
    QByteArray customerSays(const QString &text, bool attach = false) const {
        return BuildSetChat(text, m_rowTicket, attach).toUtf8();
    }
    QJsonDocument conversation(qint32 id) {
        return QJsonDocument::fromJson(
            get("/api/tickets/" + std::to_string(id) + "/messages").body);
    }

private slots:
    void initTestCase() { QVERIFY(start(m_storage + QStringList{"--open-ticket", kStartupVat})); }
    void cleanupTestCase() { QCOMPARE(stop(), 0); }

    // The console page in a headless browser: its self-test lists the tickets and sends a text
    // to the first open one (ticket 1), which the service must then hold.
    void consoleSendsAMessage() {
        const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (chromium.isEmpty())
            QSKIP("chromium is not installed");
        QTemporaryDir profile;
        QUrl console = m_service.consoleUrl(); // as printed: the token in the fragment
        console.setQuery(QStringLiteral("selftest=1"));
        QProcess browser;
        browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-sync",
                                 "--disable-background-networking", "--disable-component-update",
                                 "--no-first-run", "--user-data-dir=" + profile.path(),
                                 "--virtual-time-budget=10000", "--dump-dom", console.toString()});
        QVERIFY(browser.waitForFinished(120000));
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        const QJsonValue sent = conversation(1)["messages"][0];
        for (const QString &shown :
             QStringList{QStringLiteral("#1 ") + kStartupVat, "selftest ok: ticket 1",
                         "<div class=\"msg operator\">" + sent["testo"].toString()})
            QVERIFY2(dom.contains(shown), qPrintable(dom));
    }

    void closedTicketRefusesTheCustomer() {
        const qint32 id = freshTicket().first;
        post("/api/tickets/" + std::to_string(id) + "/close", {});
        const Reply sent = post(kTre, BuildSetChat("ciao", id, false).toUtf8());
        QVERIFY2(sent.body.contains("<status>KO</status>"), sent.body);
    }

    // Who may call what: each operator route refuses a request without the token, with a wrong
    // one, a write the browser would send cross-site without asking, and a foreign Host (a
    // page that points its own name at the service); the client's route needs no token.
    void access_data() {
        QTest::addColumn<Route>("route");
        QTest::addColumn<Departure>("departure");
        QTest::addColumn<int>("expectedStatus");
        const std::pair<Route, const char *> operatorRoutes[] = {
            {Route::ListTickets, "list tickets"}, {Route::OpenTicket, "open ticket"},
            {Route::CloseTicket, "close ticket"}, {Route::Conversation, "conversation"},
            {Route::SendText, "send text"},       {Route::SendPicture, "send picture"}};
        for (const auto &[route, name] : operatorRoutes) {
            QTest::addRow("%s: all right", name) << route << Departure::None << 200;
            QTest::addRow("%s: no token", name) << route << Departure::NoToken << 401;
            QTest::addRow("%s: wrong token", name) << route << Departure::WrongToken << 401;
            QTest::addRow("%s: foreign Host", name) << route << Departure::ForeignHost << 403;
            if (callOf(route, 0).isWrite)
                QTest::addRow("%s: text/plain", name) << route << Departure::TextPlain << 415;
        }
        QTest::newRow("list tickets: Host localhost")
            << Route::ListTickets << Departure::LocalhostName << 200;
        QTest::newRow("console page: all right") << Route::ConsolePage << Departure::None << 200;
        QTest::newRow("console page: foreign Host")
            << Route::ConsolePage << Departure::ForeignHost << 403;
        QTest::newRow("client's SOAP: no token") << Route::ClientSoap << Departure::None << 200;
        QTest::newRow("client's SOAP: foreign Host")
            << Route::ClientSoap << Departure::ForeignHost << 403;
    }
    void access() {
        QFETCH(Route, route);
        QFETCH(Departure, departure);
        QFETCH(int, expectedStatus);
        const qint32 id = freshTicket().first;
        const Call call = callOf(route, id);
        const std::string port = ':' + std::to_string(m_service.port());
        httplib::Headers headers;
        if (departure == Departure::ForeignHost)
            headers.emplace("Host", "attacker.example" + port);
        if (departure == Departure::LocalhostName)
            headers.emplace("Host", "localhost" + port);
        std::string token = m_service.token();
        if (departure == Departure::WrongToken)
            token.back() ^= 1; // all but the last character right
        if (call.path.rfind("/api/", 0) == 0 && departure != Departure::NoToken)
            headers.emplace("Authorization", "Bearer " + token);
        const std::string type = departure == Departure::TextPlain ? "text/plain" : call.type;
        httplib::Client client("127.0.0.1", m_service.port());
        client.set_read_timeout(kGuardMs / 1000);
        const httplib::Result result = call.isWrite
                                           ? client.Post(call.path, headers, call.body, type)
                                           : client.Get(call.path, headers);
        QVERIFY(result);
        QCOMPARE(result->status, expectedStatus);
        // Only an accepted request changes the ticket.
        const bool accepted = expectedStatus == 200;
        const QJsonDocument after = conversation(id);
        QCOMPARE(after["messages"].toArray().size(),
                 accepted && (route == Route::SendText || route == Route::SendPicture) ? 1 : 0);
        QCOMPARE(after["ticket"]["open"].toBool(), !(accepted && route == Route::CloseTicket));
    }

    void request_data() {
        QTest::addColumn<qint32>("ticket");
        QTest::addColumn<QString>("vat");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("replyPart");
        QTest::addColumn<QByteArray>("delivered"); // empty: nothing stored
        const QByteArray ok = "<status>OK</status>", ko = "<status>KO</status>", any;
        const QByteArray fault = "<faultcode>SOAP-ENV:Client</faultcode>";
        // C++17 evaluates each chain left to right: newRow picks the ticket the row then uses.
        newRow("customer: euro sign past a Base64 line")
            << kTre << customerSays(QString(80, u'a') + u'\u20AC') << 200 << ok
            << "<testo>" + QByteArray(80, 'a') + "\u20AC</testo>";
        newRow("customer: picture name with a path")
            << kTre << customerSays("..\\a.ini", true) << 200 << ko << any;
        newRow("customer: another customer's VAT")
            << kTre << BuildGetChat(m_rowTicket, 0, 0, kStartupVat).toUtf8() << 200
            << QByteArray("<status>noticket</status>") << any;
        newRow("operator: markup escaped, breaks -> <br>, controls dropped")
            << onRowTicket("/messages") << QByteArray(R"({"testo":"1<&\nb\r\nc\u0001\u001B"})")
            << 200 << any << QByteArray("<testo>1&lt;&amp;&lt;br&gt;b&lt;br&gt;c</testo>");
        newRow("operator: text of 64 KiB")
            << onRowTicket("/messages") << "{\"testo\":\"" + QByteArray(65536, 'a') + "\"}" << 200
            << any << "<testo>" + QByteArray(65536, 'a') + "</testo>";
        newRow("operator: text over 64 KiB")
            << onRowTicket("/messages") << "{\"testo\":\"" + QByteArray(65537, 'a') + "\"}" << 400
            << any << any;
        newRow("operator: 21846 euro signs, 65538 bytes of UTF-8")
            << onRowTicket("/messages")
            << "{\"testo\":\"" + QString(21846, u'\u20AC').toUtf8() + "\"}" << 400 << any << any;
        newRow("customer: text over 64 KiB")
            << kTre << customerSays(QString(65537, u'a')) << 200 << ko << any;
        newRow("customer: SOAP body over 1 MiB")
            << kDue << BuildGetTicket(QString(1024 * 1024, u'1')).toUtf8() << 500 << fault << any;
        newRow("operator: picture renamed to a plain lower-case name")
            << onRowTicket("/pictures?name=Schermata%20uno.PNG") << kPng << 200 << any
            << QByteArray(".png</testo>");
        newRow("operator: picture that is no picture")
            << onRowTicket("/pictures?name=virus.exe") << QByteArray("MZ") << 400 << any << any;
        newRow("operator: VAT with markup")
            << "/api/tickets" << QByteArray("{\"vat\":\"<b>1</b>\"}") << 400 << any << any;
        newRow("operator: ticket id beyond 32 bits")
            << "/api/tickets/99999999999999999999/close" << any << 404 << any << any;
        newRow("upload: name with a slash")
            << QString(kUpload) + "..%2Fetc%2Fpasswd" << uploadBody("x") << 400 << any << any;
        const QString dtd = "<!DOCTYPE e [<!ENTITY a 'aaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>";
        newRow("entity expansion")
            << kDue << (dtd + BuildGetTicket("&b;")).toUtf8() << 500 << fault << any;
    }
    void request() {
        QFETCH(qint32, ticket);
        QFETCH(QString, vat);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, replyPart);
        QFETCH(QByteArray, delivered);
        const Reply reply = post(path.toStdString(), body);
        QTEST(reply.status, "status");
        QVERIFY2(reply.body.contains(replyPart), reply.body);
        QCOMPARE(conversation(ticket)["messages"].toArray().size(), delivered.isEmpty() ? 0 : 1);
        QVERIFY(getChat(ticket, vat).body.contains(delivered));
    }

    // The client's uploads: pictures only.
    void upload_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("expectedStatus");
        QTest::newRow("picture") << "upload.png" << 200;
        QTest::newRow("picture, upper-case suffix") << "upload.JPEG" << 200;
        QTest::newRow("page") << "upload.html" << 415;
        QTest::newRow("page behind a picture suffix") << "upload.png.html" << 415;
        QTest::newRow("no suffix") << "upload" << 415;
    }
    void upload() {
        QFETCH(QString, name);
        QFETCH(int, expectedStatus);
        QCOMPARE(post(kUpload + name.toStdString(), uploadBody(kPng)).status, expectedStatus);
        QCOMPARE(get(kDownload + name.toStdString()).status, expectedStatus == 200 ? 200 : 404);
    }

    // Whatever lies in the picture folder (from an earlier set-up, say) comes back as a picture
    // or as bytes, never as a page of the console's origin.
    void download_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("expectedType");
        QTest::newRow("page") << "pic1.html" << QByteArray("application/octet-stream");
        QTest::newRow("SVG") << "logo.svg" << QByteArray("application/octet-stream");
        QTest::newRow("picture, upper-case suffix") << "photo.JPG" << QByteArray("image/jpeg");
    }
    void download() {
        QFETCH(QString, name);
        QFETCH(QByteArray, expectedType);
        const QByteArray page = "<html><script>alert(document.domain)</script></html>";
        QFile file(m_folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(page) == page.size());
        file.close();
        const httplib::Result result = m_client->Get(kDownload + name.toStdString());
        QVERIFY(result);
        QCOMPARE(result->status, 200);
        QCOMPARE(QByteArray::fromStdString(result->get_header_value("Content-Type")), expectedType);
        QCOMPARE(result->get_header_value("X-Content-Type-Options"), "nosniff");
        QCOMPARE(result->get_header_value("Content-Security-Policy"), "sandbox");
        QCOMPARE(QByteArray::fromStdString(result->body), page);
    }

    void pictureFileComesBackWhole() {
        QByteArray screenshot(3 * 1024 * 1024 + 256, Qt::Uninitialized);
        for (qsizetype i = 0; i < screenshot.size(); ++i)
            screenshot[i] = char(i ^ (i >> 9) ^ (i >> 17)); // no two 8 KiB blocks alike
        // Every byte value, far over 8 KiB; then the same name again, which changes nothing.
        QCOMPARE(post(kUpload + std::string("a.png"), uploadBody(screenshot)).status, 200);
        QCOMPARE(get(kDownload + std::string("a.png")).body, screenshot);
        QCOMPARE(post(kUpload + std::string("a.png"), uploadBody("2")).status, 409);
        QCOMPARE(get(kDownload + std::string("a.png")).body, screenshot);
        const QByteArray huge = "documento=" + QByteArray(20 * 1024 * 1024 + 1, 'A');
        const int status = post(kUpload + std::string("huge.jpg"), huge).status;
        // Over the limit the service may close the connection instead of answering.
        QVERIFY2(status == 413 || status == 0, qPrintable(QString::number(status)));
        QCOMPARE(get(kDownload + std::string("huge.jpg")).status, 404);
    }

    // The console asks only for what is new, and learns which of the older ones were read since.
    void conversationAfter() {
        const qint32 id = freshTicket().first;
        const std::string messages = "/api/tickets/" + std::to_string(id) + "/messages";
        QList<qint32> sent;
        for (const QByteArray text : {"uno", "due", "tre"})
            sent << QJsonDocument::fromJson(
                        post(messages, "{\"testo\":\"" + text + "\"}").body)["id"]
                        .toInt();
        post(kDue, BuildSetReadChat(sent[1]).toUtf8());
        const QJsonDocument answer =
            QJsonDocument::fromJson(get(messages + "?after=" + std::to_string(sent[1])).body);
        QCOMPARE(answer["messages"].toArray().size(), 1);
        QCOMPARE(answer["messages"][0]["testo"].toString(), "tre");
        QCOMPARE(answer["unread"].toArray(), QJsonArray{sent[0]});
    }

    // Last: restarts the service on the same database.
    void conversationsOutliveTheProcess() {
        const qint32 id = freshTicket().first;
        const std::string messages = "/api/tickets/" + std::to_string(id) + "/messages";
        QCOMPARE(post(messages, "{\"testo\":\"ancora qui\"}").status, 200);
        QCOMPARE(stop(), 0);
        QVERIFY(start(m_storage));
        QCOMPARE(conversation(id)["messages"][0]["testo"].toString(), "ancora qui");
    }
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "tst_localservice.moc"
