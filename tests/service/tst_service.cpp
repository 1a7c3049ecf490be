#include "LoopbackServer.h"
#include "core/AppState.h"
#include "core/IsPlainFileName.h"
#include "service/DownloadFile.h"
#include "service/Envelopes.h"
#include "service/FileUpload.h"
#include "service/GetXmlValue.h"
#include "service/HttpExchange.h"
#include "service/LinkProbe.h"
#include "service/PictureDownloadUrl.h"
#include "service/ResponseText.h"
#include "service/SoapTransport.h"
#include "service/UrlEncode.h"

#include <QDir>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

constexpr char kChatTrePath[] = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr char kUploadPath[] = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php";
constexpr char kPicturePath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php";
constexpr char kPictureName[] = "15_20261206151000.jpg";
constexpr char kStatusPath[] = "/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getchatResponse/status";
constexpr char kMalformed[] = "<status>OK</status><id>1</di>";

// What the probed peer sends after its status line.
enum class Then { Nothing, EndlessBody, RedirectElsewhere };
// How the picture address answers.
enum class Serve { Whole, NotFound, Broken, ChunkedOverTheLimit, SameOrigin, OtherOrigin };

// Every byte value in order, over and over: what a binary file must survive unchanged.
QByteArray byteRun(qsizetype length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(i);
    return bytes;
}

// byteRun(length) in pieces; a declared length is broken off after brokenAfter bytes.
void serveBytes(httplib::Response &res, size_t length, bool chunked, size_t brokenAfter) {
    auto provide = [=](size_t offset, httplib::DataSink &sink) {
        static const QByteArray piece = byteRun(4096);
        if (offset >= std::min(length, brokenAfter))
            return chunked && (sink.done(), true); // a chunked body ends, a declared one breaks
        return sink.write(piece.data(), std::min(size_t(piece.size()), length - offset));
    };
    if (chunked)
        return res.set_chunked_content_provider("application/octet-stream", provide);
    res.set_content_provider(length, "application/octet-stream",
                             std::bind(provide, std::placeholders::_1, std::placeholders::_3));
}

// The one request the peer got: "METHOD target", its Content-Type and SOAPAction lines, body.
std::string onTheWire(const LoopbackServer &server) {
    if (server.requests().size() != 1)
        return "requests: " + std::to_string(server.requests().size());
    const LoopbackServer::Request request = server.requests().front();
    std::string wire = request.method + " " + request.target + "\n";
    for (const char *name : {"Content-Type", "SOAPAction"})
        for (auto [it, last] = request.headers.equal_range(name); it != last; ++it)
            wire += it->first + ": " + it->second + "\n";
    return wire + request.body;
}

QString envelope(const QString &operation, const QString &parameters) {
    return "<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
           "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
           "xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
           "<soapenv:Header/><soapenv:Body><chat:" +
           operation + " soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>" +
           parameters + "</chat:" + operation + "></soapenv:Body></soapenv:Envelope>";
}

// The status read from a getchat answer with these fields.
QString statusIn(const QString &fields) {
    return GetXmlValue("<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/"
                       "envelope/' xmlns:ns1='urn:chat'><SOAP-ENV:Body><ns1:getchatResponse>" +
                           fields + "</ns1:getchatResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>",
                       kStatusPath);
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when it cannot be read.
qint64 memoryKiB(const QByteArray &field) {
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const QByteArray rest = text.mid(text.indexOf(field + ':') + field.size() + 1).trimmed();
    return text.contains(field + ':') ? rest.left(rest.indexOf(' ')).toLongLong() : 0;
}

} // namespace

Q_DECLARE_METATYPE(Then)
Q_DECLARE_METATYPE(Serve)

// Answers a request with a head written out byte for byte, which cpp-httplib cannot (its
// reason phrases are always the standard ones), and then holds the connection open.
class RawPeer : public QTcpServer {
public:
    explicit RawPeer(const QByteArray &head) {
        connect(this, &QTcpServer::newConnection, this, [this, head] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [=] {
                received += socket->readAll();
                if (received.endsWith("\r\n\r\n"))
                    socket->write(head);
            });
        });
        listen(QHostAddress::LocalHost);
    }
    QByteArray received;
};

// What the client puts on the wire and how it reads the answers; exchanges run against a real
// peer on loopback.
class TestService : public QObject {
    Q_OBJECT
    std::unique_ptr<LoopbackServer> m_server;
    QTemporaryDir m_folder; // holds only kPictureName, which every test rewrites
    QTemporaryDir m_logFolder;

    // Starts the peer with the handlers registered so far and makes it the service.
    void serve() {
        m_server->start();
        qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(m_server->baseUrl()));
    }
    QString writeFile(const QByteArray &content) {
        QFile file(m_folder.filePath(kPictureName));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        return file.fileName();
    }

private slots:
    void initTestCase() {
        AppState::instance().ApplicationFolder = m_logFolder.path();
        AppState::instance().Log = true;
    }
    void init() { m_server = std::make_unique<LoopbackServer>(); }
    void cleanup() {
        m_server.reset();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // the upload's wait cursor is gone
    }

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
        QTest::newRow("answer in an unknown charset read as UTF-8")
            << ResponseText("text/xml; charset=x-none", "perch\xc3\xa9") << u"perché"_s;
        QTest::newRow("answer: the first element at exactly that path")
            << statusIn("<x><status>no</status></x><status>OK</status><status>no</status>") << "OK";
        QTest::newRow("answer: malformed, not the value before the fault")
            << statusIn(kMalformed) << "";
    }
    void text() {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void malformedAnswerIsLogged() { // by the last text row; nothing before it was
        QFile log(m_logFolder.filePath("Log.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QByteArray logged = log.readAll();
        QCOMPARE(logged.count('\n'), 2); // the reason, then the whole response
        QVERIFY2(logged.contains("- XML: <SOAP-ENV:Envelope ") &&
                     logged.endsWith(kMalformed + "</ns1:getchatResponse></SOAP-ENV:Body>"
                                                  "</SOAP-ENV:Envelope>\n"_ba),
                 logged);
    }

    // 1 GiB while the client's event loop stalls once, as under a long paint: abandoned past the
    // cap of 1 MiB, the peak memory grown by 64 MiB at most (about half of that the sanitizer's
    // quarantine of what the peer, which runs in this process, and the client freed).
    void floodIsCutOff() {
        std::atomic<bool> flooding{false};
        m_server->server().Get("/flood", [&](const httplib::Request &, httplib::Response &res) {
            flooding = true;
            serveBytes(res, size_t(1) << 30, true, size_t(1) << 30);
        });
        serve();
        QTimer busy;
        connect(&busy, &QTimer::timeout, &busy, [&] {
            if (flooding)
                busy.stop(), QThread::msleep(500);
        });
        busy.start(1);
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // the peak starts afresh
        QVERIFY(clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1);
        const qint64 before = memoryKiB("VmRSS");
        const QUrl url(QString::fromStdString(m_server->baseUrl()) + "/flood");
        const HttpResult result =
            HttpExchange::run(QNetworkRequest(url), "GET", {}, {20000, 20000, 1 << 20});
        const qint64 growth = memoryKiB("VmHWM") - before;
        QCOMPARE(result.outcome, HttpOutcome::TooLong);
        QVERIFY2(before > 0 && growth < 64 * 1024, qPrintable(QString::number(growth)));
    }

    void postSoap() {
        m_server->server().Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 500; // an error page is still the answer
            res.set_content("\r\n\x80 <p>Errore</p>", "text/html; Charset=\"windows-1252\"");
        });
        serve();
        QCOMPARE(PostSoap("ws_chat_tre", u"<x>perché</x>"_s), u"\r\n€ <p>Errore</p>"_s);
        // No SOAPAction: the service never asked for one.
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
        const QString path = writeFile(byteRun(64)); // one Base64 line of 72, one of 16
        int status = 0;
        QCOMPARE(UploadFile(path, &status), u"Non autorizzato"_s);
        QCOMPARE(status, 401); // the caller tells a refusal from a stored file by it
        QCOMPARE(onTheWire(*m_server),
                 std::string("POST ") + kUploadPath + "?filename=" + kPictureName +
                     "\nContent-type: application/x-www-form-urlencoded\ndocumento=AAECAwQFBgcI"
                     "CQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1%0D%0ANjc4OTo7"
                     "PD0%2BPw%3D%3D");
        m_server->stop(); // a failed exchange answers nothing, whatever sent it
        QCOMPARE(UploadFile(path, &status), QString());
        QCOMPARE(status, 0);
        QCOMPARE(UploadFile(writeFile({})), u"Errore file"_s);
    }

    // The name goes into the query so that the service decodes exactly it; a redirect is
    // followed only on the service's own host and port.
    void download_data() {
        QTest::addColumn<Serve>("how");
        QTest::addColumn<bool>("stored");
        QTest::newRow("binary file replaced byte for byte") << Serve::Whole << true;
        QTest::newRow("404 keeps the earlier file") << Serve::NotFound << false;
        QTest::newRow("broken transfer keeps the earlier file") << Serve::Broken << false;
        QTest::newRow("chunked body growing over 50 MiB keeps the earlier file")
            << Serve::ChunkedOverTheLimit << false;
        QTest::newRow("redirect to the same host and port: followed") << Serve::SameOrigin << true;
        QTest::newRow("redirect to another host name: refused") << Serve::OtherOrigin << false;
    }
    void download() {
        QFETCH(Serve, how);
        QFETCH(bool, stored);
        const QString target = writeFile("earlier picture");
        const auto answer = [how](const httplib::Request &, httplib::Response &res) {
            const bool over = how == Serve::ChunkedOverTheLimit;
            res.status = how == Serve::NotFound ? 404 : 200;
            serveBytes(res, over ? 50 * 1024 * 1024 + 1 : 70000, over,
                       how == Serve::Broken ? 30000 : SIZE_MAX);
        };
        m_server->server().Get("/moved.jpg", answer);
        m_server->server().Get(kPicturePath, [&](const httplib::Request &req, auto &res) {
            if (how != Serve::SameOrigin && how != Serve::OtherOrigin)
                return answer(req, res);
            const std::string other = "http://localhost:" + std::to_string(m_server->port());
            res.set_redirect((how == Serve::SameOrigin ? "" : other) + "/moved.jpg");
        });
        serve();
        // "#" would end the address, "&" and "=" add a parameter, "+" read as a space.
        QCOMPARE(DownloadFile(PictureDownloadUrl(u"a b+è#&n=.jpg"_s), target), stored);
        // Qt may send a request again on a fresh connection; what was asked, and last, counts.
        QCOMPARE(m_server->requests().front().target,
                 std::string(kPicturePath) + "?nomefile=a%20b%2B%C3%A8%23%26n%3D.jpg");
        QCOMPARE(m_server->requests().back().target == "/moved.jpg", how == Serve::SameOrigin);
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), stored ? byteRun(70000) : "earlier picture");
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void probeLink_data() {
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<Then>("then");
        QTest::addColumn<bool>("answersOk");
        QTest::newRow("404 that says OK") << "HTTP/1.1 404 OK"_ba << Then::Nothing << true;
        QTest::newRow("lower-case ok") << "HTTP/1.1 200 ok"_ba << Then::Nothing << false;
        QTest::newRow("OK, then a body that never comes: done at the head")
            << "HTTP/1.1 200 OK"_ba << Then::EndlessBody << true;
        QTest::newRow("redirect to a peer that says OK: not followed")
            << "HTTP/1.1 302 Found"_ba << Then::RedirectElsewhere << false;
    }
    void probeLink() {
        QFETCH(QByteArray, statusLine);
        QFETCH(Then, then);
        // An environment may let Qt offer HTTP/2 in clear text, which has no status text.
        qputenv("QT_NETWORK_H2C_ALLOWED", "1");
        const auto unset = qScopeGuard([] { qunsetenv("QT_NETWORK_H2C_ALLOWED"); });
        RawPeer elsewhere("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        const QByteArray location =
            "Location: http://127.0.0.1:" + QByteArray::number(elsewhere.serverPort()) + "/b\r\n";
        // Waiting for the body would pass the probe's time limit.
        RawPeer peer(statusLine + "\r\n" + (then == Then::RedirectElsewhere ? location : "") +
                     "Content-Length: " + (then == Then::EndlessBody ? "1000000" : "0") +
                     "\r\n\r\n");
        QVERIFY(peer.isListening() && elsewhere.isListening());
        QTEST(ProbeLink(QUrl(u"http://127.0.0.1:%1/a"_s.arg(peer.serverPort()))), "answersOk");
        QCOMPARE(peer.received.left(peer.received.indexOf("\r\n")), "GET /a HTTP/1.1"_ba);
        QVERIFY2(!peer.received.toLower().contains("upgrade"), peer.received.constData());
        QCOMPARE(elsewhere.received, QByteArray());
    }

    void isPlainFileName() {
        QVERIFY(IsPlainFileName(u"..foto è 15.jpg"_s));
        for (const QString name : {"", "..", "..\\x", "C:x.jpg", "a\u009f.jpg"})
            QVERIFY2(!IsPlainFileName(name), qPrintable(name));
    }
};

QTEST_MAIN(TestService)
#include "tst_service.moc"
