#include "bubble/LinkTest.h"

#include "LoopbackServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// Answers every request with one fixed status line, which cpp-httplib cannot: its reason
// phrases are always the standard ones.
class StatusLinePeer : public QObject {
    Q_OBJECT
public:
    explicit StatusLinePeer(const QByteArray &statusLine)
        : m_statusLine(statusLine) {
        connect(&m_server, &QTcpServer::newConnection, this, &StatusLinePeer::answer);
        m_server.listen(QHostAddress::LocalHost);
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    void answer() {
        QTcpSocket *socket = m_server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            m_received += socket->readAll();
            if (!m_received.contains("\r\n\r\n"))
                return;
            socket->write(m_statusLine + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
    QByteArray m_statusLine;
    QByteArray m_received;
};

class TestLinkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void byPrefixOrShape_data();
    void byPrefixOrShape();
    void probe_data();
    void probe();
    void onlyTheStatusTextCounts_data();
    void onlyTheStatusTextCounts();
    void noServerIsNoLink();

private:
    QString address(const QString &path) const;
    LoopbackServer m_server;
};

void TestLinkTest::initTestCase() {
    m_server.server().Get("/ok", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("pagina", "text/html");
    });
    m_server.server().Get(
        "/created", [](const httplib::Request &, httplib::Response &res) { res.status = 201; });
    m_server.start();
}

void TestLinkTest::cleanupTestCase() {
    m_server.stop();
}

QString TestLinkTest::address(const QString &path) const {
    return QStringLiteral("127.0.0.1:%1%2").arg(m_server.port()).arg(path);
}

void TestLinkTest::byPrefixOrShape_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("link");
    QTest::newRow("11 characters with http:// are too short") << "http://a.it" << false;
    QTest::newRow("12 characters with http://") << "http://ab.it" << true;
    QTest::newRow("https:// in capitals") << "HTTPS://EXAMPLE.COM/A" << true;
    QTest::newRow("www and 12 characters") << "www.esempio." << true;
    QTest::newRow("short www") << "www.a.it" << false;
    QTest::newRow("sentence") << "Buongiorno, ho un problema" << false;
    QTest::newRow("empty") << "" << false;
}

void TestLinkTest::byPrefixOrShape() {
    QFETCH(QString, text);
    QFETCH(bool, link);
    const size_t before = m_server.requests().size();
    QCOMPARE(IsLink(text), link);
    QCOMPARE(m_server.requests().size(), before);
}

void TestLinkTest::probe_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("probed");
    QTest::newRow("status text OK") << "/ok" << true << true;
    QTest::newRow("status text Created") << "/created" << false << true;
    QTest::newRow("status text Not Found") << "/missing" << false << true;
    QTest::newRow("white space is never probed") << "/ok x" << false << false;
    QTest::newRow("several lines are never probed") << "/ok\r\n/ok" << false << false;
}

void TestLinkTest::probe() {
    QFETCH(QString, path);
    QFETCH(bool, link);
    QFETCH(bool, probed);
    const size_t before = m_server.requests().size();
    QCOMPARE(IsLink(address(path)), link);
    const auto requests = m_server.requests();
    QCOMPARE(requests.size(), before + (probed ? 1 : 0));
    if (probed) {
        QCOMPARE(requests.back().method, std::string("GET"));
        QCOMPARE(QString::fromStdString(requests.back().target), path);
    }
}

void TestLinkTest::onlyTheStatusTextCounts_data() {
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<bool>("link");
    QTest::newRow("200 OK") << QByteArray("HTTP/1.1 200 OK") << true;
    QTest::newRow("200 with ok in lower case") << QByteArray("HTTP/1.1 200 ok") << false;
    QTest::newRow("200 with another text") << QByteArray("HTTP/1.1 200 Fine") << false;
    QTest::newRow("404 that says OK") << QByteArray("HTTP/1.1 404 OK") << true;
}

void TestLinkTest::onlyTheStatusTextCounts() {
    QFETCH(QByteArray, statusLine);
    StatusLinePeer peer(statusLine);
    QVERIFY(peer.port() != 0);
    QTEST(IsLink(QStringLiteral("127.0.0.1:%1/pagina").arg(peer.port())), "link");
}

void TestLinkTest::noServerIsNoLink() {
    LoopbackServer closed;
    closed.start();
    const int port = closed.port();
    closed.stop();
    QVERIFY(!IsLink(QStringLiteral("127.0.0.1:%1/ok").arg(port)));
}

QTEST_GUILESS_MAIN(TestLinkTest)
#include "tst_linktest.moc"
