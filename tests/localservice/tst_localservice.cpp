#include "core/Windows1252.h"
#include "net/Base64.h"
#include "net/Envelopes.h"
#include "net/UrlEncode.h"

#include "ServiceProcess.h"

#include <httplib.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace std::string_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr auto kDue = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTre = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr auto kUpload = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
constexpr auto kDownload = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";
constexpr auto kStartupVat = "11111111111"; // ticket 1, opened by --open-ticket
constexpr int kGuardMs = 30000; // so that a broken service fails the test instead of hanging it
const QByteArray kPng("\x89PNG\r\n\x1A\n", 8);

// How a request departs from the one the console (on the client's routes, the client) makes.
enum class Departure { None, WrongToken, TextPlain, ForeignHost };

struct Reply {
    int status = 0; // 0 when no answer came
    QByteArray body;
    std::string safety; // Content-Type, X-Content-Type-Options, Content-Security-Policy
};

QByteArray uploadBody(const QByteArray &bytes) {
    return "documento=" + UrlEncode(Base64().Encode(Windows1252::decode(bytes))).toLatin1();
}

} // namespace

Q_DECLARE_METATYPE(Departure)

// The service program as a child process, over plain HTTP so that the tests see the statuses and
// bytes the client's transport hides.
class TestLocalService : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    const QStringList m_options{"--db",          m_folder.filePath("chat.db"),
                                "--files",       m_folder.path(),
                                "--open-ticket", kStartupVat};
    ServiceProcess m_service;
    qint64 m_lastVat = 30000000000;
    qint32 m_rowTicket = 0;

    // As the console calls: without a body a GET, else a POST of JSON, with the operator's token,
    // which the client's routes ignore.
    Reply call(const std::string &path, const QByteArray &body = {}, Departure how = {}) {
        std::string token = m_service.token();
        token.front() ^= how == Departure::WrongToken;
        httplib::Headers headers{{"Authorization", "Bearer " + token}};
        if (how == Departure::ForeignHost)
            headers.emplace("Host", "evil.example:" + std::to_string(m_service.port()));
        httplib::Client client("127.0.0.1", m_service.port());
        client.set_read_timeout(kGuardMs / 1000);
        const httplib::Result result =
            body.isEmpty()
                ? client.Get(path, headers)
                : client.Post(path, headers, body.toStdString(),
                              how == Departure::TextPlain ? "text/plain" : "application/json");
        if (!result)
            return {};
        return {result->status, QByteArray::fromStdString(result->body),
                result->get_header_value("Content-Type") + ' ' +
                    result->get_header_value("X-Content-Type-Options") + ' ' +
                    result->get_header_value("Content-Security-Policy")};
    }
    // A row on a ticket of its own, which the row's path and body then name.
    QTestData &newRow(const char *name) {
        const QByteArray opening = "{\"vat\":\"" + QByteArray::number(++m_lastVat) + "\"}";
        m_rowTicket = QJsonDocument::fromJson(call("/api/tickets", opening).body)["id"].toInt();
        return QTest::newRow(name) << m_rowTicket;
    }

private slots:
    void initTestCase() { QVERIFY(m_service.start(BRENNO_SERVICE_PROGRAM, m_options, kGuardMs)); }
    void cleanupTestCase() { QCOMPARE(m_service.stop(kGuardMs), 0); } // also under the leak checker

    // Who may call what (the client's own calls show the rest end to end), then what each route
    // takes, stores and hands the customer.
    void request_data() {
        QTest::addColumn<qint32>("ticket");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Departure>("departure");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("replyPart");
        QTest::addColumn<QByteArray>("delivered"); // empty: nothing stored
        const QByteArray ok = "<status>OK</status>", any;
        const QByteArray fault = "<faultcode>SOAP-ENV:Client</faultcode>", hi = R"({"testo":"hi"})";
        const Departure none = Departure::None;
        const auto messages = [this] { return u"/api/tickets/%1/messages"_s.arg(m_rowTicket); };
        // C++17 evaluates each chain left to right: newRow picks the ticket the row then uses.
        newRow("operator: token wrong in its first character")
            << messages() << hi << Departure::WrongToken << 401 << any << any;
        newRow("operator: a write as text/plain")
            << messages() << hi << Departure::TextPlain << 415 << any << any;
        newRow("operator: foreign Host")
            << messages() << hi << Departure::ForeignHost << 403 << any << any;
        newRow("customer: euro sign past a Base64 line")
            << kTre << BuildSetChat(QString(80, u'a') + u'\u20AC', m_rowTicket, false).toUtf8()
            << none << 200 << ok << "<testo>" + QByteArray(80, 'a') + "\u20AC</testo>";
        newRow("customer: getticket of the row's VAT")
            << kDue << BuildGetTicket(QString::number(m_lastVat)).toUtf8() << none << 200
            << "<id>" + QByteArray::number(m_rowTicket) + "</id>" << any;
        newRow("customer: another customer's VAT")
            << kTre << BuildGetChat(m_rowTicket, 0, 0, kStartupVat).toUtf8() << none << 200
            << "<status>noticket</status>"_ba << any;
        newRow("customer: SOAP body over 1 MiB")
            << kDue << BuildGetTicket(QString(1 << 20, u'1')).toUtf8() << none << 500 << fault
            << any;
        const QString dtd = "<!DOCTYPE e [<!ENTITY a 'aaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>";
        newRow("customer: entity expansion")
            << kDue << (dtd + BuildGetTicket("&b;")).toUtf8() << none << 500 << fault << any;
        newRow("operator: markup escaped, breaks -> <br>, controls dropped")
            << messages() << R"({"testo":"1<&\nb\r\nc\u0001\u001B"})"_ba << none << 200 << any
            << "<testo>1&lt;&amp;&lt;br&gt;b&lt;br&gt;c</testo>"_ba;
        newRow("operator: 21846 euro signs, 65538 bytes of UTF-8")
            << messages() << "{\"testo\":\"" + QString(21846, u'\u20AC').toUtf8() + "\"}" << none
            << 400 << any << any;
        newRow("upload: name with a slash") << QString(kUpload) + "..%2Fetc%2Fpasswd"
                                            << uploadBody("x") << none << 400 << any << any;
    }
    void request() {
        QFETCH(qint32, ticket);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(Departure, departure);
        QFETCH(QByteArray, replyPart);
        QFETCH(QByteArray, delivered);
        const Reply reply = call(path.toStdString(), body, departure);
        QTEST(reply.status, "status");
        QVERIFY2(reply.body.contains(replyPart), reply.body);
        const QJsonDocument held = QJsonDocument::fromJson(
            call("/api/tickets/" + std::to_string(ticket) + "/messages").body);
        const QJsonArray messages = held["messages"].toArray();
        QCOMPARE(messages.size(), delivered.isEmpty() ? 0 : 1);
        const QString vat = held["ticket"]["vat"].toString();
        const int lastId = messages.isEmpty() ? 0 : messages[0]["id"].toInt();
        QVERIFY(call(kTre, BuildGetChat(ticket, 0, 0, vat).toUtf8()).body.contains(delivered));
        // Nothing past what the customer has read.
        QVERIFY(call(kTre, BuildGetChat(ticket, lastId, 0, vat).toUtf8())
                    .body.contains("<status>nomsg</status>"));
    }

    // A picture comes back as it was sent and is not replaced. Whatever lies in the folder comes
    // back as a picture or as bytes, never as a page of the console's origin.
    void pictures() {
        QCOMPARE(call(kUpload + "a.JPEG"s, uploadBody(kPng)).status, 200);
        QCOMPARE(call(kUpload + "a.JPEG"s, uploadBody("2")).status, 409);
        QCOMPARE(call(kUpload + "a.html"s, uploadBody("<p>")).status, 415);
        QCOMPARE(call(kDownload + "a.JPEG"s).body, kPng);
        QVERIFY(QFile::copy(m_folder.filePath("a.JPEG"), m_folder.filePath("b.svg")));
        QCOMPARE(call(kDownload + "b.svg"s).safety, "application/octet-stream nosniff sandbox");
    }
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "tst_localservice.moc"
