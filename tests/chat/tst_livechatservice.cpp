#include "LoopbackServer.h"
#include "chat/LiveChatService.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The session's service port reaches the real service client: right addresses, right bodies.
class TestLiveChatService : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void postReachesTheEndpoint_data();
    void postReachesTheEndpoint();
    void pictureLandsInTheGivenPath();
    void uploadSendsTheFile();

private:
    LoopbackServer::Request onlyRequest() const {
        const auto requests = m_server->requests();
        if (requests.size() != 1)
            qFatal("expected one request, got %d", int(requests.size()));
        return requests.front();
    }

    std::unique_ptr<LoopbackServer> m_server;
    QTemporaryDir m_folder;
    LiveChatService m_service;
};

void TestLiveChatService::init() {
    m_server = std::make_unique<LoopbackServer>();
    m_server->server().Post(R"(/RovizeveReravav/sync_connector/(ws_chat_\w+)\.php)",
                            [](const httplib::Request &request, httplib::Response &response) {
                                response.set_content(
                                    request.matches[1].str() + " got " + request.body, "text/xml");
                            });
    m_server->server().Get("/RovizeveReravav/KD_API/Ticket/downloadimg.php",
                           [](const httplib::Request &, httplib::Response &response) {
                               response.set_content(std::string("\xFF\xD8picture\0bytes", 15),
                                                    "image/jpeg");
                           });
    m_server->server().Post("/RovizeveReravav/KD_API/Ticket/SendFileChat.php",
                            [](const httplib::Request &, httplib::Response &response) {
                                response.set_content("OK", "text/plain");
                            });
    m_server->start();
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(m_server->baseUrl()));
}

void TestLiveChatService::cleanup() {
    m_server.reset();
}

void TestLiveChatService::postReachesTheEndpoint_data() {
    QTest::addColumn<QString>("endpoint");
    QTest::newRow("ws_chat_due") << "ws_chat_due";
    QTest::newRow("ws_chat_tre") << "ws_chat_tre";
}

void TestLiveChatService::postReachesTheEndpoint() {
    QFETCH(QString, endpoint);
    const QString envelope = QStringLiteral("<soapenv:Envelope>x</soapenv:Envelope>");

    // The service echoes what it received.
    QCOMPARE(m_service.post(endpoint, envelope), endpoint + " got " + envelope);

    const auto request = onlyRequest();
    QCOMPARE(request.method, std::string("POST"));
    QCOMPARE(QString::fromStdString(request.target),
             "/RovizeveReravav/sync_connector/" + endpoint + ".php");
    QVERIFY(!m_service.exchangeInProgress());
}

void TestLiveChatService::pictureLandsInTheGivenPath() {
    const QString path = m_folder.filePath(QStringLiteral("foto.jpg"));
    QVERIFY(m_service.downloadPicture(QStringLiteral("foto.jpg"), path));

    QCOMPARE(onlyRequest().target,
             std::string("/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=foto.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xFF\xD8picture\0bytes", 15));
}

void TestLiveChatService::uploadSendsTheFile() {
    const QString path = m_folder.filePath(QStringLiteral("57_20240305140709.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("jpeg");
    file.close();

    QCOMPARE(m_service.uploadFile(path), QStringLiteral("OK"));
    QCOMPARE(onlyRequest().target, std::string("/RovizeveReravav/KD_API/Ticket/"
                                               "SendFileChat.php?filename=57_20240305140709.jpg"));
}

QTEST_MAIN(TestLiveChatService)
#include "tst_livechatservice.moc"
