#include "EventLoopWait.h"
#include "LoopbackServer.h"
#include "TestFiles.h"
#include "core/AppState.h"
#include "net/DownloadFile.h"
#include "net/Envelopes.h"
#include "net/FileUpload.h"
#include "net/GetXmlValue.h"
#include "net/HttpExchange.h"
#include "net/LinkProbe.h"
#include "net/PictureDownloadUrl.h"
#include "net/ResponseText.h"
#include "net/SoapTransport.h"
#include "net/UrlEncode.h"

#include <QDir>
#include <QGuiApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr char kChatTrePath[] = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr char kUploadPath[] = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php";
constexpr char kPicturePath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php";
constexpr char kPictureName[] = "15_20261206151000.jpg";
constexpr char kMalformed[] = "<S:E xmlns:S='s'><S:B><status>OK</status><id>1</di></S:B></S:E>";

enum class Serve { NotFound, Broken, ChunkedOverTheLimit, SameOrigin, OtherOrigin };

// Answers with its head as written (cpp-httplib knows only standard reasons), then a byte/200 ms.
class RawPeer : public QTcpServer {
public:
    explicit RawPeer(const QByteArray &head) {
        connect(this, &QTcpServer::newConnection, this, [this, head] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
                received += socket->readAll();
                if (!received.endsWith("\r\n\r\n"))
                    return;
                socket->write(head);
                auto *drip = new QTimer(socket);
                connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
                drip->start(200);
            });
        });
        listen(QHostAddress::LocalHost);
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/a"_s.arg(serverPort())); }
    QByteArray received;
};

// Every byte value in order, over and over: what a binary file must survive unchanged.
QByteArray byteRun(qsizetype length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(i);
    return bytes;
}

// A body of 1 MiB chunks that ends once it has passed limit bytes; pushed follows it.
auto mebibytesPast(size_t limit, std::atomic<size_t> *pushed = nullptr) {
    return [limit, pushed](size_t at, httplib::DataSink &sink) {
        static const std::string mib(1 << 20, 'x');
        if (pushed)
            *pushed = at;
        return at > limit ? (sink.done(), true) : sink.write(mib.data(), mib.size());
    };
}

// Each request as "METHOD target", its Content-Type and SOAPAction lines and its body.
std::string onTheWire(const LoopbackServer &server) {
    std::string wire;
    for (const LoopbackServer::Request &request : server.requests()) {
        wire += request.method + " " + request.target + "\n";
        for (const char *name : {"Content-Type", "SOAPAction"})
            for (auto [it, last] = request.headers.equal_range(name); it != last; ++it)
                wire += it->first + ": " + it->second + "\n";
        wire += request.body;
    }
    return wire;
}

QString envelope(const QString &operation, const QString &parameters) {
    return "<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
           "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
           "xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
           "<soapenv:Header/><soapenv:Body><chat:" +
           operation + " soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>" +
           parameters + "</chat:" + operation + "></soapenv:Body></soapenv:Envelope>";
}

QString soap(const QString &envelope) {
    return answerOf<QString>([&envelope](auto done) { PostSoap("ws_chat_tre", envelope, done); });
}

UploadAnswer uploaded(const QString &path) {
    return answerOf<UploadAnswer>([&path](auto done) { UploadFile(path, done); });
}

} // namespace

Q_DECLARE_METATYPE(Serve)

// What the client puts on the wire and how it reads the answers, against a real peer.
class TestService : public QObject {
    Q_OBJECT
    std::unique_ptr<LoopbackServer> m_server;
    QTemporaryDir m_folder; // holds only kPictureName, which every test rewrites
    QTemporaryDir m_logFolder;

    void serve() {
        m_server->start();
        qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(m_server->baseUrl()));
    }
    QString writePicture(const QByteArray &content) {
        const QString path = m_folder.filePath(kPictureName);
        writeFile(path, content);
        return path;
    }

private slots:
    void initTestCase() {
        AppState::instance().ApplicationFolder = m_logFolder.path();
        AppState::instance().Log = true;
    }
    void init() { m_server = std::make_unique<LoopbackServer>(); }
    void cleanup() { QCOMPARE(QGuiApplication::overrideCursor(), nullptr); } // upload's wait

    void text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("getchat, markup in the VAT number escaped")
            << BuildGetChat(15, 0, 1, "a&b<c>'d\"")
            << envelope("getchat", "<id xsi:type='xsd:integer'>15</id>"
                                   "<letto xsi:type='xsd:integer'>0</letto>"
                                   "<stascrivendo xsi:type='xsd:integer'>1</stascrivendo>"
                                   "<partitaiva xsi:type='xsd:string'>a&amp;b&lt;c&gt;&apos;d&quot;"
                                   "</partitaiva>");
        QTest::newRow("setchat: Windows-1252 in Base64 lines of 72 ending CR LF, ? outside it")
            << BuildSetChat(QString(104, u'x') + QString::fromUcs4(U"é€Ω\U0001F600"), 3, true)
            << envelope("setchat",
                        "<idticket xsi:type='xsd:integer'>3</idticket><testo "
                        "xsi:type='xsd:string'>" +
                            u"eHh4"_s.repeated(18) + "\r\n" + u"eHh4"_s.repeated(16) +
                            "eHjpgD8/\r\n</testo><attach xsi:type='xsd:string'>1</attach>");
        QTest::newRow("form encoding: Windows-1252 codes as %XX, controls 1 and 2 as % and +")
            << UrlEncode(QString::fromUcs4(U"Az09 +%?/=\r\n-._~\x01\x02\x0fè€Ω\U0001F600"))
            << QString::fromUcs4(
                   U"Az09+%2B%25%3F%2F%3D%0D%0A%2D%2E%5F%7E%25%2B%0F%E8%80Ω\U0001F600");
        QTest::newRow("answer: the first element at exactly that path")
            << GetXmlValue("<S:E xmlns:S='s'><S:B><x><status>no</status></x><status>OK</status>"
                           "<status>no</status></S:B></S:E>",
                           "/S:E/S:B/status")
            << "OK";
        QTest::newRow("answer: malformed, nothing")
            << GetXmlValue(kMalformed, "/S:E/S:B/status") << "";
        QTest::newRow("unknown charset: UTF-8")
            << ResponseText("text/xml; charset=x-none", "perch\xc3\xa9") << u"perché"_s;
        QTest::newRow("no charset, a declaration without encoding: UTF-8")
            << ResponseText("text/xml", "<?xml version='1.0'?><a encoding='cp1252'>\xe2\x82\xac")
            << u"<?xml version='1.0'?><a encoding='cp1252'>€"_s;
        QTest::newRow("no charset: the declaration's windows-1252")
            << ResponseText("text/xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\x80\x93")
            << u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>€“"_s;
        QTest::newRow("no Content-Type: the declaration's ISO-8859-1 as Windows-1252")
            << ResponseText("", "<?xml version='1.0' encoding='ISO-8859-1' ?>\n\x80\x91")
            << u"<?xml version='1.0' encoding='ISO-8859-1' ?>\n€‘"_s;
        QTest::newRow("charset latin1 as Windows-1252")
            << ResponseText("text/xml; charset=latin1", "\x80 \x93x\x94") << u"€ “x”"_s;
        QTest::newRow("charset \"US-ASCII\" as Windows-1252")
            << ResponseText("text/xml;charset=\"US-ASCII\"", "\x93\x80") << u"“€"_s;
        QTest::newRow("the Content-Type's charset before the declaration")
            << ResponseText("text/xml; charset=utf-8",
                            "<?xml version='1.0' encoding='iso-8859-1'?>\xe2\x82\xac")
            << u"<?xml version='1.0' encoding='iso-8859-1'?>€"_s;
    }
    void text() {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void malformedAnswerIsLogged() { // by the rows above: the reason, then the whole answer
        const QByteArray logged = bytesOf(m_logFolder.filePath("Log.txt"));
        QVERIFY2(logged.count("\r\n") == 2 &&
                     logged.endsWith(QByteArray("- XML: ") + kMalformed + "\r\n"),
                 logged);
    }

    void postSoap() {
        m_server->server().Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 500; // an error page is still the answer
            res.set_content("\r\n\x80 <p>Errore</p>", "text/html; Charset=\"windows-1252\"");
        });
        serve();
        QCOMPARE(soap(u"<x>perché</x>"_s), u"\r\n€ <p>Errore</p>"_s);
        QCOMPARE(onTheWire(*m_server), std::string("POST ") + kChatTrePath +
                                           "\nContent-type: text/xml;charset=UTF-8\n"
                                           "<x>perch\xc3\xa9</x>");
    }

    void upload() {
        m_server->server().Post(kUploadPath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 401; // no challenge: still the answer
            res.set_content("Non autorizzato", "text/html");
        });
        serve();
        const QString path = writePicture(byteRun(64)); // one Base64 line of 72, one of 16
        UploadAnswer answer = uploaded(path);
        QCOMPARE(answer.text, u"Non autorizzato"_s);
        QCOMPARE(answer.status, 401); // the caller tells a refusal from a stored file by it
        QCOMPARE(onTheWire(*m_server),
                 std::string("POST ") + kUploadPath + "?filename=" + kPictureName +
                     "\nContent-type: application/x-www-form-urlencoded\ndocumento=AAECAwQFBgcI"
                     "CQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1%0D%0ANjc4OTo7"
                     "PD0%2BPw%3D%3D");
        m_server->stop(); // a failed exchange answers nothing, whatever sent it
        answer = uploaded(path);
        QCOMPARE(answer.text, QString());
        QCOMPARE(answer.status, 0);
        QCOMPARE(uploaded(writePicture({})).text, u"Errore file"_s);
    }

    // An exchange allowed 1 MiB, 2 s of silence and 4 s in all; a probe, by its status text alone.
    void rawPeer_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("probe");
        QTest::addColumn<int>("expected"); // the outcome; of a probe, whether it answers OK
        QTest::newRow("a byte every 200 ms: abandoned at the deadline")
            << "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"_ba << false
            << int(HttpOutcome::Overdue);
        QTest::newRow("declared length over the cap: abandoned at the head")
            << "HTTP/1.1 200 OK\r\nContent-Length: 1048577\r\n\r\n"_ba << false
            << int(HttpOutcome::TooLong);
        QTest::newRow("probe: 404 that says OK, a body that never ends")
            << "HTTP/1.1 404 OK\r\nContent-Length: 1000000\r\n\r\n"_ba << true << 1;
        QTest::newRow("probe: lower-case ok")
            << "HTTP/1.1 200 ok\r\nContent-Length: 0\r\n\r\n"_ba << true << 0;
    }
    void rawPeer() {
        QFETCH(QByteArray, head);
        QFETCH(bool, probe);
        RawPeer peer(head);
        if (probe) // an environment may let Qt offer HTTP/2 in clear text, without status text
            qputenv("QT_NETWORK_H2C_ALLOWED", "1");
        QTEST(probe ? int(answerOf<bool>([&peer](auto done) { ProbeLink(peer.url(), done); }))
                    : int(answerOf<HttpResult>([&peer](auto done) {
                              HttpExchange::start(QNetworkRequest(peer.url()), "GET", {},
                                                  {2000, 4000, 1 << 20}, done);
                          }).outcome),
              "expected");
        qunsetenv("QT_NETWORK_H2C_ALLOWED");
        QCOMPARE(peer.received.left(peer.received.indexOf("\r\n")), "GET /a HTTP/1.1"_ba);
    }

    // Nothing reads ahead of a busy exchange: 16 MiB cap + kernel buffers (6 MiB on loopback).
    void floodIsNotReadAhead() {
        std::atomic<size_t> pushed{0};
        m_server->server().Post(kChatTrePath, [&pushed](const httplib::Request &, auto &res) {
            res.set_chunked_content_provider("image/jpeg", mebibytesPast(1u << 30, &pushed));
        });
        serve();
        QTimer::singleShot(20, [] { QThread::msleep(500); }); // as under a long paint
        QCOMPARE(soap("<x/>"), QString());
        m_server->stop();
        QVERIFY2(pushed < 32u << 20, qPrintable(QString::number(pushed >> 20) + " MiB"));
    }

    // The name goes whole into the query; a redirect is followed only on the same host and port.
    void download_data() {
        QTest::addColumn<Serve>("how");
        QTest::addColumn<bool>("stored");
        QTest::newRow("404 keeps the earlier file") << Serve::NotFound << false;
        QTest::newRow("broken transfer keeps the earlier file") << Serve::Broken << false;
        QTest::newRow("chunked body growing over 50 MiB keeps the earlier file")
            << Serve::ChunkedOverTheLimit << false;
        QTest::newRow("redirect to the same host and port: followed, stored byte for byte")
            << Serve::SameOrigin << true;
        QTest::newRow("redirect to another host name: refused") << Serve::OtherOrigin << false;
    }
    void download() {
        QFETCH(Serve, how);
        QFETCH(bool, stored);
        const QString target = writePicture("earlier picture");
        const auto answer = [how](const httplib::Request &, httplib::Response &res) {
            res.status = how == Serve::NotFound ? 404 : 200;
            if (how == Serve::ChunkedOverTheLimit)
                return res.set_chunked_content_provider("image/jpeg", mebibytesPast(50 << 20));
            res.set_content_provider(70000, "image/jpeg", [how](size_t at, size_t, auto &sink) {
                const QByteArray piece = byteRun(70000).mid(at, 4096);
                return (how != Serve::Broken || at < 30000) &&
                       sink.write(piece.data(), piece.size());
            });
        };
        m_server->server().Get("/moved.jpg", answer);
        m_server->server().Get(kPicturePath, [&](const httplib::Request &req, auto &res) {
            const std::string other = "http://localhost:" + std::to_string(m_server->port());
            if (how != Serve::SameOrigin && how != Serve::OtherOrigin)
                return answer(req, res);
            res.set_redirect((how == Serve::SameOrigin ? "" : other) + "/moved.jpg");
        });
        serve();
        // "#" would end the address, "&" and "=" add a parameter, "+" read as a space.
        QCOMPARE(answerOf<bool>([&target](auto done) {
                     DownloadFile(PictureDownloadUrl(u"a b+è#&n=.jpg"_s), target, done);
                 }),
                 stored);
        // Qt may send a request again on a fresh connection; what was asked, and last, counts.
        QCOMPARE(m_server->requests().front().target,
                 std::string(kPicturePath) + "?nomefile=a%20b%2B%C3%A8%23%26n%3D.jpg");
        QCOMPARE(m_server->requests().back().target == "/moved.jpg", how == Serve::SameOrigin);
        QCOMPARE(bytesOf(target), stored ? byteRun(70000) : "earlier picture");
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A redirect would hand the VAT number, the messages and the pictures to another address.
    void postsFollowNoRedirect() {
        m_server->server().Post(".*", [](const httplib::Request &req, httplib::Response &res) {
            if (req.path != "/elsewhere")
                res.set_redirect("/elsewhere", 307);
            res.set_content("<status>OK</status>", "text/xml");
        });
        serve();
        QCOMPARE(soap("<x/>"), QString());
        QCOMPARE(uploaded(writePicture("jpeg")).status, 0);
        QCOMPARE(m_server->requests().size(), size_t(2));
        QCOMPARE(bytesOf(m_logFolder.filePath("Log.txt"))
                     .count("Rinvio 307 non seguito: " +
                            QByteArray::fromStdString(m_server->baseUrl()) + "/RovizeveReravav/"),
                 2);
    }
};

QTEST_MAIN(TestService)
#include "tst_net.moc"
