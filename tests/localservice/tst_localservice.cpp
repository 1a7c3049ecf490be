#include "net/Envelopes.h"

#include "ServiceProcess.h"

#include <QJsonDocument>
#include <QTest>

namespace {

constexpr auto kDue = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTre = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
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
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "tst_localservice.moc"
