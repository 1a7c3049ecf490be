#include "net/Envelopes.h"

#include "ServiceProcess.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr auto kDue = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTre = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr auto kUpload = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
constexpr auto kStartupVat = "11111111111"; // ticket 1, opened by --open-ticket
constexpr int kGuardMs = 30000; // so that a broken service fails the test instead of hanging it

} // namespace

// The service program as a child process, over plain HTTP so that the tests see the statuses and
// bytes the client's transport hides.
class TestLocalService : public QObject {
    Q_OBJECT

    ServiceProcess m_service;

    // Status and body, as the console calls: without a body a GET, else a POST of JSON, with the
    // operator's token (or one wrong in its first character), which the client's routes ignore.
    std::pair<int, QByteArray> call(const std::string &path, const QByteArray &body = {},
                                    bool wrongToken = false) {
        const std::unique_ptr<httplib::Client> client = m_service.operatorClient(kGuardMs / 1000);
        std::string token = m_service.token();
        token.front() ^= wrongToken;
        client->set_bearer_token_auth(token);
        const httplib::Result result =
            body.isEmpty() ? client->Get(path)
                           : client->Post(path, body.toStdString(), "application/json");
        return {result ? result->status : 0,
                QByteArray::fromStdString(result ? result->body : std::string())};
    }
    int idIn(const QByteArray &json) { return QJsonDocument::fromJson(json)["id"].toInt(); }

private slots:
    void initTestCase() {
        QVERIFY(m_service.start(BRENNO_SERVICE_PROGRAM, {"--open-ticket", kStartupVat}, kGuardMs));
    }
    void cleanupTestCase() { QCOMPARE(m_service.stop(kGuardMs), 0); } // also under the leak checker

    // A customer finds only their own ticket and gets each message once, as the client shows it.
    void customerGetsTheirOwnMessages() {
        const QString vat = QStringLiteral("30000000001");
        const int ticket = idIn(call("/api/tickets", "{\"vat\":\"" + vat.toUtf8() + "\"}").second);
        const std::string messages = "/api/tickets/" + std::to_string(ticket) + "/messages";
        QCOMPARE(call(messages, R"({"testo":"perso"})", true).first, 401);
        const int id = idIn(call(messages, R"({"testo":"1<&\nb\r\nc\u0001\u001B"})").second);
        QVERIFY(call(kDue, BuildGetTicket(vat).toUtf8())
                    .second.contains("<id>" + QByteArray::number(ticket) + "</id>"));
        QVERIFY(call(kTre, BuildGetChat(ticket, 0, 0, kStartupVat).toUtf8())
                    .second.contains("<status>noticket</status>"));
        QVERIFY(call(kTre, BuildGetChat(ticket, 0, 0, vat).toUtf8())
                    .second.contains("<testo>1&lt;&amp;&lt;br&gt;b&lt;br&gt;c</testo><id>" +
                                     QByteArray::number(id) + "</id>"));
        QVERIFY(call(kTre, BuildGetChat(ticket, id, 0, vat).toUtf8())
                    .second.contains("<status>nomsg</status>"));
    }

    // What the service refuses: a page of another origin, a write it cannot read as JSON, a name
    // that leaves its folder, an XML bomb.
    void refusals_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("host"); // empty: the service's own
        QTest::addColumn<int>("status");
        const QByteArray tickets = "/api/tickets", vat = R"({"vat":"30000000002"})";
        const QByteArray dtd = "<!DOCTYPE e [<!ENTITY a 'aaaa'><!ENTITY b '&a;&a;&a;&a;'>]>";
        QTest::newRow("foreign Host") << tickets << vat << "application/json"_ba
                                      << "evil.example"_ba << 403;
        QTest::newRow("a write as text/plain") << tickets << vat << "text/plain"_ba
                                               << ""_ba << 415;
        QTest::newRow("upload name with a slash") << kUpload + "..%2Fetc%2Fpasswd"_ba
                                                  << "documento=eA%3D%3D"_ba
                                                  << "application/x-www-form-urlencoded"_ba
                                                  << ""_ba << 400;
        QTest::newRow("entity expansion")
            << QByteArray(kDue) << dtd + BuildGetTicket("&b;").toUtf8() << "text/xml"_ba
            << ""_ba << 500;
    }
    void refusals() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, host);
        httplib::Headers headers;
        if (!host.isEmpty())
            headers.emplace("Host", host.toStdString() + ':' + std::to_string(m_service.port()));
        const httplib::Result result =
            m_service.operatorClient(kGuardMs / 1000)
                ->Post(path.toStdString(), headers, body.toStdString(), contentType.toStdString());
        QVERIFY(result);
        QTEST(result->status, "status");
    }
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "tst_localservice.moc"
