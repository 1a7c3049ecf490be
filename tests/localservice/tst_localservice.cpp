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

namespace {

constexpr auto kDue = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTre = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr auto kUpload = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
constexpr auto kDownload = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";
constexpr auto kStartupVat = "11111111111"; // ticket 1, opened by --open-ticket
// A generous guard so that a broken service fails the test instead of hanging it.
constexpr int kGuardMs = 30000;
const QByteArray kPng("\x89PNG\r\n\x1A\n", 8);

// How a request departs from the one the console (on the client's routes, the client) makes.
enum class Departure { None, LocalhostName, NoToken, WrongToken, TextPlain, ForeignHost };

struct Reply {
    int status = 0; // 0 when no answer came
    QByteArray body;
    httplib::Headers headers;
};

// As the client uploads a file.
QByteArray uploadBody(const QByteArray &bytes) {
    return "documento=" + UrlEncode(Base64().Encode(Windows1252::decode(bytes))).toLatin1();
}

} // namespace

Q_DECLARE_METATYPE(Departure)

// The real service program as a child process on a port the system chooses, reached over plain
// HTTP so that the tests see the statuses and bytes the client's transport hides. Each case
// works on a ticket of its own.
class TestLocalService : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    const QStringList m_storage{"--db", m_folder.filePath("chat.db"), "--files", m_folder.path()};
    ServiceProcess m_service;
    qint64 m_lastVat = 30000000000;
    qint32 m_rowTicket = 0;

    // As the console calls: without a body a GET; a picture with its own type, anything else as
    // JSON, with the operator's token, which the client's routes ignore.
    Reply call(const std::string &path, const QByteArray &body = {}, Departure how = {}) {
        const std::string port = ':' + std::to_string(m_service.port());
        httplib::Headers headers;
        if (how == Departure::ForeignHost || how == Departure::LocalhostName)
            headers.emplace("Host",
                            (how == Departure::ForeignHost ? "evil.example" : "localhost") + port);
        std::string token = m_service.token();
        token.back() ^= how == Departure::WrongToken; // all but the last character right
        if (how != Departure::NoToken)
            headers.emplace("Authorization", "Bearer " + token);
        const bool picture = path.find("/pictures?") != std::string::npos;
        const char *type = how == Departure::TextPlain ? "text/plain"
                           : picture                   ? "image/png"
                                                       : "application/json";
        httplib::Client client("127.0.0.1", m_service.port());
        client.set_read_timeout(kGuardMs / 1000);
        const httplib::Result result = body.isEmpty()
                                           ? client.Get(path, headers)
                                           : client.Post(path, headers, body.toStdString(), type);
        return result
                   ? Reply{result->status, QByteArray::fromStdString(result->body), result->headers}
                   : Reply{};
    }
    std::pair<qint32, QString> freshTicket() {
        const QByteArray vat = QByteArray::number(++m_lastVat);
        return {
            QJsonDocument::fromJson(call("/api/tickets", "{\"vat\":\"" + vat + "\"}").body)["id"]
                .toInt(),
            vat};
    }
    QJsonDocument conversation(qint32 id) {
        return QJsonDocument::fromJson(
            call("/api/tickets/" + std::to_string(id) + "/messages").body);
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

private slots:
    void initTestCase() {
        QVERIFY(m_service.start(BRENNO_SERVICE_PROGRAM,
                                m_storage + QStringList{"--open-ticket", kStartupVat}, kGuardMs));
    }
    void cleanupTestCase() { QCOMPARE(m_service.stop(kGuardMs), 0); } // also under the leak checker

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

    // Who may call what: the operator's routes need the token, a write one of the types a
    // browser does not send cross-site unasked, and every route a Host naming the service; the
    // client's routes need no token. Then what each route takes, stores and answers.
    void request_data() {
        QTest::addColumn<qint32>("ticket");
        QTest::addColumn<QString>("vat");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Departure>("departure");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("replyPart");
        QTest::addColumn<QByteArray>("delivered"); // empty: nothing stored
        const QByteArray ok = "<status>OK</status>", ko = "<status>KO</status>", any;
        const QByteArray fault = "<faultcode>SOAP-ENV:Client</faultcode>",
                         hi = "{\"testo\":\"hi\"}";
        const Departure none = Departure::None;
        // C++17 evaluates each chain left to right: newRow picks the ticket the row then uses.
        newRow("operator: no token")
            << onRowTicket("/messages") << hi << Departure::NoToken << 401 << any << any;
        newRow("operator: token wrong in its last character")
            << onRowTicket("/messages") << hi << Departure::WrongToken << 401 << any << any;
        newRow("operator: a write as text/plain")
            << onRowTicket("/messages") << hi << Departure::TextPlain << 415 << any << any;
        newRow("operator: foreign Host")
            << onRowTicket("/messages") << hi << Departure::ForeignHost << 403 << any << any;
        newRow("operator: Host localhost")
            << "/api/tickets" << QByteArray("{\"vat\":\"55555555555\"}") << Departure::LocalhostName
            << 200 << any << any;
        newRow("customer, no token: euro sign past a Base64 line")
            << kTre << customerSays(QString(80, u'a') + u'\u20AC') << Departure::NoToken << 200
            << ok << "<testo>" + QByteArray(80, 'a') + "\u20AC</testo>";
        newRow("customer: picture name with a path")
            << kTre << customerSays("..\\a.ini", true) << none << 200 << ko << any;
        newRow("customer: another customer's VAT")
            << kTre << BuildGetChat(m_rowTicket, 0, 0, kStartupVat).toUtf8() << none << 200
            << QByteArray("<status>noticket</status>") << any;
        newRow("customer: SOAP body over 1 MiB")
            << kDue << BuildGetTicket(QString(1024 * 1024, u'1')).toUtf8() << none << 500 << fault
            << any;
        const QString dtd = "<!DOCTYPE e [<!ENTITY a 'aaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>";
        newRow("customer: entity expansion")
            << kDue << (dtd + BuildGetTicket("&b;")).toUtf8() << none << 500 << fault << any;
        newRow("operator: markup escaped, breaks -> <br>, controls dropped")
            << onRowTicket("/messages") << QByteArray(R"({"testo":"1<&\nb\r\nc\u0001\u001B"})")
            << none << 200 << any << QByteArray("<testo>1&lt;&amp;&lt;br&gt;b&lt;br&gt;c</testo>");
        newRow("operator: 21846 euro signs, 65538 bytes of UTF-8")
            << onRowTicket("/messages")
            << "{\"testo\":\"" + QString(21846, u'\u20AC').toUtf8() + "\"}" << none << 400 << any
            << any;
        newRow("operator: picture renamed to a plain lower-case name")
            << onRowTicket("/pictures?name=Schermata%20uno.PNG") << kPng << none << 200 << any
            << QByteArray(".png</testo>");
        newRow("operator: picture that is no picture")
            << onRowTicket("/pictures?name=virus.exe") << QByteArray("MZ") << none << 400 << any
            << any;
        newRow("operator: VAT with markup")
            << "/api/tickets" << QByteArray("{\"vat\":\"<b>1</b>\"}") << none << 400 << any << any;
        newRow("operator: ticket id beyond 32 bits")
            << "/api/tickets/99999999999999999999/close" << QByteArray("{}") << none << 404 << any
            << any;
        newRow("upload: name with a slash") << QString(kUpload) + "..%2Fetc%2Fpasswd"
                                            << uploadBody("x") << none << 400 << any << any;
        newRow("upload: page behind a picture suffix")
            << QString(kUpload) + "a.png.html" << uploadBody(kPng) << none << 415 << any << any;
    }
    void request() {
        QFETCH(qint32, ticket);
        QFETCH(QString, vat);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(Departure, departure);
        QFETCH(QByteArray, replyPart);
        QFETCH(QByteArray, delivered);
        const Reply reply = call(path.toStdString(), body, departure);
        QTEST(reply.status, "status");
        QVERIFY2(reply.body.contains(replyPart), reply.body);
        QCOMPARE(conversation(ticket)["messages"].toArray().size(), delivered.isEmpty() ? 0 : 1);
        QVERIFY(call(kTre, BuildGetChat(ticket, 0, 0, vat).toUtf8()).body.contains(delivered));
    }

    // Every byte value far over 8 KiB comes back whole and is not replaced; an upload over the
    // limit is not kept. Whatever lies in the folder comes back as a picture or as bytes, never
    // as a page of the console's origin.
    void pictures() {
        QByteArray screenshot(3 * 1024 * 1024 + 256, Qt::Uninitialized);
        for (qsizetype i = 0; i < screenshot.size(); ++i)
            screenshot[i] = char(i ^ (i >> 9) ^ (i >> 17)); // no two 8 KiB blocks alike
        QCOMPARE(call(kUpload + std::string("a.JPEG"), uploadBody(screenshot)).status, 200);
        QCOMPARE(call(kUpload + std::string("a.JPEG"), uploadBody("2")).status, 409);
        const Reply back = call(kDownload + std::string("a.JPEG"));
        QCOMPARE(back.body, screenshot);
        QVERIFY(QFile::copy(m_folder.filePath("a.JPEG"), m_folder.filePath("b.svg")));
        const Reply svg = call(kDownload + std::string("b.svg"));
        QCOMPARE(back.headers.find("Content-Type")->second + ' ' +
                     svg.headers.find("Content-Type")->second,
                 "image/jpeg application/octet-stream");
        QCOMPARE(svg.headers.find("X-Content-Type-Options")->second + ' ' +
                     svg.headers.find("Content-Security-Policy")->second,
                 "nosniff sandbox");
        const int status = call(kUpload + std::string("huge.jpg"),
                                "documento=" + QByteArray(20 * 1024 * 1024 + 1, 'A'))
                               .status;
        // Over the limit the service may close the connection instead of answering.
        QVERIFY2(status == 413 || status == 0, qPrintable(QString::number(status)));
        QCOMPARE(call(kDownload + std::string("huge.jpg")).status, 404);
    }

    // The console asks only for what is new, and learns which of the older ones were read since.
    void conversationAfter() {
        const std::string messages =
            "/api/tickets/" + std::to_string(freshTicket().first) + "/messages";
        QList<qint32> sent;
        for (const QByteArray text : {"uno", "due", "tre"})
            sent << QJsonDocument::fromJson(
                        call(messages, "{\"testo\":\"" + text + "\"}").body)["id"]
                        .toInt();
        call(kDue, BuildSetReadChat(sent[1]).toUtf8());
        const QJsonDocument answer =
            QJsonDocument::fromJson(call(messages + "?after=" + std::to_string(sent[1])).body);
        QCOMPARE(answer["messages"].toArray().size(), 1);
        QCOMPARE(answer["messages"][0]["testo"].toString(), "tre");
        QCOMPARE(answer["unread"].toArray(), QJsonArray{sent[0]});
    }

    // Last: restarts the service on the same database.
    void conversationsOutliveTheProcess() {
        const qint32 id = freshTicket().first;
        QCOMPARE(
            call("/api/tickets/" + std::to_string(id) + "/messages", "{\"testo\":\"ancora qui\"}")
                .status,
            200);
        QCOMPARE(m_service.stop(kGuardMs), 0);
        QVERIFY(m_service.start(BRENNO_SERVICE_PROGRAM, m_storage, kGuardMs));
        QCOMPARE(conversation(id)["messages"][0]["testo"].toString(), "ancora qui");
    }
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "tst_localservice.moc"
