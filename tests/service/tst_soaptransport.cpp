#include "LoopbackServer.h"
#include "ServiceTestData.h"
#include "service/SoapTransport.h"

#include <QScopeGuard>
#include <QSslConfiguration>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

constexpr char kChatTrePath[] = "/RovizeveReravav/sync_connector/ws_chat_tre.php";

std::vector<std::pair<std::string, std::string>> headersNamed(const httplib::Headers &headers,
                                                              const std::string &name) {
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto &[key, value] : headers) {
        if (QByteArray::fromStdString(key).toLower() == QByteArray::fromStdString(name).toLower())
            found.emplace_back(key, value);
    }
    return found;
}

} // namespace

class TestSoapTransport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void requestOnTheWire_data();
    void requestOnTheWire();
    void answerReturnedUnchanged_data();
    void answerReturnedUnchanged();
    void failureGivesEmpty_data();
    void failureGivesEmpty();
    void silentServiceHitsTheTimeLimit();
    void nothingCarriedToTheNextCall();
    void httpsWhenConfigured_data();
    void httpsWhenConfigured();

private:
    void startServer() {
        m_server->start();
        qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(m_server->baseUrl()));
    }
    std::unique_ptr<LoopbackServer> m_server;
    std::atomic<bool> m_release{false};
};

void TestSoapTransport::init() {
    m_release = false;
    m_server = std::make_unique<LoopbackServer>();
}

void TestSoapTransport::cleanup() {
    m_release = true;
    m_server.reset();
    qunsetenv("BRENNO_SERVICE_URL");
}

void TestSoapTransport::requestOnTheWire_data() {
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("target");
    QTest::newRow("ws_chat_tre") << "ws_chat_tre" << kChatTrePath;
    QTest::newRow("ws_chat_due") << "ws_chat_due"
                                 << "/RovizeveReravav/sync_connector/ws_chat_due.php";
}

void TestSoapTransport::requestOnTheWire() {
    QFETCH(QString, endpoint);
    QFETCH(QString, target);
    m_server->server().Post(".*", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("ok", "text/xml");
    });
    startServer();

    QCOMPARE(PostSoap(endpoint, QStringLiteral("<x>perché</x>")), QStringLiteral("ok"));

    const auto requests = m_server->requests();
    QCOMPARE(requests.size(), size_t(1));
    const LoopbackServer::Request &request = requests.front();
    QCOMPARE(request.method, std::string("POST"));
    QCOMPARE(QString::fromStdString(request.target), target);
    QCOMPARE(request.body, std::string("<x>perch\xc3\xa9</x>"));
    const auto contentType = headersNamed(request.headers, "Content-Type");
    QCOMPARE(contentType.size(), size_t(1));
    QCOMPARE(contentType.front().first, std::string("Content-type"));
    QCOMPARE(contentType.front().second, std::string("text/xml;charset=UTF-8"));
    QVERIFY(headersNamed(request.headers, "SOAPAction").empty());
}

void TestSoapTransport::answerReturnedUnchanged_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("200 SOAP answer")
        << 200 << QByteArray("text/xml; charset=utf-8") << QByteArray("<a>OK</a>") << "<a>OK</a>";
    QTest::newRow("500 HTML page as it came")
        << 500 << QByteArray("text/html")
        << QByteArray("<html><body>Internal Server Error</body></html>")
        << "<html><body>Internal Server Error</body></html>";
    QTest::newRow("404 page as it came")
        << 404 << QByteArray("text/plain") << QByteArray("missing") << "missing";
    QTest::newRow("white space and line breaks kept")
        << 200 << QByteArray("text/xml") << QByteArray("\r\n  <a> x </a>\n\n")
        << "\r\n  <a> x </a>\n\n";
    QTest::newRow("undeclared charset read as UTF-8")
        << 200 << QByteArray("text/xml") << QByteArray("perch\xc3\xa9") << QStringLiteral("perché");
    QTest::newRow("no content type read as UTF-8")
        << 200 << QByteArray() << QByteArray("\xe2\x82\xac") << QStringLiteral("€");
    QTest::newRow("declared ISO-8859-1") << 200 << QByteArray("text/xml; charset=ISO-8859-1")
                                         << QByteArray("perch\xe9") << QStringLiteral("perché");
    QTest::newRow("declared windows-1252, quoted")
        << 200 << QByteArray("text/xml; charset=\"windows-1252\"") << QByteArray("\x80 5")
        << QStringLiteral("€ 5");
    QTest::newRow("unknown charset read as UTF-8")
        << 200 << QByteArray("text/xml; charset=x-no-such-set") << QByteArray("perch\xc3\xa9")
        << QStringLiteral("perché");
    QTest::newRow("empty body") << 200 << QByteArray("text/xml") << QByteArray() << "";
}

void TestSoapTransport::answerReturnedUnchanged() {
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    m_server->server().Post(kChatTrePath, [&](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        res.body = body.toStdString();
        if (!contentType.isEmpty())
            res.set_header("Content-Type", contentType.toStdString());
    });
    startServer();
    QCOMPARE(PostSoap("ws_chat_tre", "<x/>"), expected);
}

void TestSoapTransport::failureGivesEmpty_data() {
    QTest::addColumn<QString>("serviceAddress");
    QTest::newRow("connection refused")
        << QStringLiteral("http://127.0.0.1:%1").arg(closedLocalPort());
    QTest::newRow("scheme without HTTP") << "ftp://127.0.0.1:1";
    QTest::newRow("not an address") << "nonsense";
}

void TestSoapTransport::failureGivesEmpty() {
    QFETCH(QString, serviceAddress);
    qputenv("BRENNO_SERVICE_URL", serviceAddress.toUtf8());
    QCOMPARE(PostSoap("ws_chat_tre", "<x/>"), QString());
}

void TestSoapTransport::silentServiceHitsTheTimeLimit() {
    m_server->server().Post(kChatTrePath, [this](const httplib::Request &, httplib::Response &res) {
        while (!m_release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        res.set_content("too late", "text/xml");
    });
    startServer();
    QCOMPARE(PostSoapWithin("ws_chat_tre", "<x/>", 1000), QString());
}

void TestSoapTransport::nothingCarriedToTheNextCall() {
    m_server->server().Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "session=abc; Path=/");
        res.set_content("ok", "text/xml");
    });
    startServer();
    QCOMPARE(PostSoap("ws_chat_tre", "<x/>"), QStringLiteral("ok"));
    QCOMPARE(PostSoap("ws_chat_tre", "<x/>"), QStringLiteral("ok"));

    const auto requests = m_server->requests();
    QCOMPARE(requests.size(), size_t(2));
    QVERIFY(headersNamed(requests.back().headers, "Cookie").empty());
}

void TestSoapTransport::httpsWhenConfigured_data() {
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("trusted certificate") << true << "ok";
    QTest::newRow("untrusted certificate gives empty") << false << "";
}

void TestSoapTransport::httpsWhenConfigured() {
    QFETCH(bool, trusted);
    QFETCH(QString, expected);
    const QString folder = QStringLiteral(TLS_FIXTURES);
    httplib::SSLServer server(qPrintable(folder + "/loopback.crt"),
                              qPrintable(folder + "/loopback.key"));
    QVERIFY(server.is_valid());
    server.Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
        res.set_content("ok", "text/xml");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
    const auto stop = qScopeGuard([&] {
        server.stop();
        listener.join();
    });

    const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
    const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(original); });
    if (trusted) {
        QSslConfiguration configuration = original;
        configuration.addCaCertificates(folder + "/loopback.crt");
        QSslConfiguration::setDefaultConfiguration(configuration);
    }
    qputenv("BRENNO_SERVICE_URL", "https://127.0.0.1:" + QByteArray::number(port));
    QCOMPARE(PostSoap("ws_chat_tre", "<x/>"), expected);
}

QTEST_GUILESS_MAIN(TestSoapTransport)
#include "tst_soaptransport.moc"
