#include "LoopbackServer.h"
#include "core/AppState.h"
#include "core/IsPlainFileName.h"
#include "service/Base64.h"
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
#include <QRegularExpression>
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
constexpr int kDownloadLimit = 50 * 1024 * 1024;
constexpr int kDripMs = 200;
constexpr int kHoldAtMostMs = 20000; // a held peer lets go by itself, so a broken bound fails

// What a hostile or broken peer does once it has the request.
enum class Peer {
    SilentBeforeTheHead,
    DripAfterTheHead, // one byte every kDripMs, 5 s in all, then a proper end
    DeclareOverTheCap,
    SendExactlyTheCap,
    FloodWhileTheClientIsBusy, // 1 GiB at full speed while the client's event loop stalls once
};

// What the probed peer sends after its status line.
enum class Then { Nothing, EndlessBody, RedirectElsewhere };

// Where the picture address sends the download.
enum class Redirect { None, SameOrigin, OtherOrigin };

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

// Every header of that name as it came on the wire, one "Name: value" line each.
std::string headerLines(const LoopbackServer::Request &request, const char *name) {
    std::string lines;
    for (auto [it, last] = request.headers.equal_range(name); it != last; ++it)
        lines += it->first + ": " + it->second + "\n";
    return lines;
}

QString envelope(const QString &operation, const QString &parameters) {
    return "<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
           "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
           "xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
           "<soapenv:Header/><soapenv:Body><chat:" +
           operation + " soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>" +
           parameters + "</chat:" + operation + "></soapenv:Body></soapenv:Envelope>";
}

constexpr char kStatusPath[] = "/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getchatResponse/status";

QString chatAnswer(const QString &fields) {
    return "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/' "
           "xmlns:ns1='urn:chat'><SOAP-ENV:Body><ns1:getchatResponse>" +
           fields + "</ns1:getchatResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// The status a getchat answer with these fields carries.
QString statusIn(const QString &fields) {
    return GetXmlValue(chatAnswer(fields), kStatusPath);
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
qint64 memoryKiB(const QByteArray &field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

// Starts the process's peak resident size (VmHWM) afresh from its present size.
bool restartPeakMemory() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

} // namespace

Q_DECLARE_METATYPE(Peer)
Q_DECLARE_METATYPE(Then)
Q_DECLARE_METATYPE(Redirect)
Q_DECLARE_METATYPE(HttpOutcome)

// What the client puts on the wire and how it reads the answers; exchanges run against a real
// peer on loopback.
// Answers every request with a head written out byte for byte, which cpp-httplib cannot (its
// reason phrases are always the standard ones), then drips dripBytes bytes of body, one every
// kDripMs, and hangs up.
class RawPeer : public QTcpServer {
public:
    explicit RawPeer(const QByteArray &head, int dripBytes = 0) {
        connect(this, &QTcpServer::newConnection, this, [this, head, dripBytes] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket,
                    [this, socket, head, dripBytes, answered = false]() mutable {
                        received += socket->readAll();
                        if (answered || !received.contains("\r\n\r\n"))
                            return;
                        answered = true;
                        socket->write(head);
                        auto *drip = new QTimer(socket);
                        connect(drip, &QTimer::timeout, socket,
                                [socket, dripBytes, sent = 0]() mutable {
                                    if (sent++ < dripBytes)
                                        socket->write("x");
                                    else
                                        socket->disconnectFromHost();
                                });
                        drip->start(dripBytes > 0 ? kDripMs : 0);
                    });
        });
        listen(QHostAddress::LocalHost);
    }
    QByteArray received;
};

class TestService : public QObject {
    Q_OBJECT
    std::atomic<bool> m_released{false};
    std::unique_ptr<LoopbackServer> m_server;
    QTemporaryDir m_folder; // holds only kPictureName, which every test rewrites
    QTemporaryDir m_logFolder;

    // Keeps a peer's thread waiting until the test has its result.
    void holdUntilReleased() {
        for (int waited = 0; !m_released && waited < kHoldAtMostMs; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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

    void init() {
        m_released = false;
        m_server = std::make_unique<LoopbackServer>();
    }

    void cleanup() {
        m_server.reset();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // the upload's wait cursor is gone
    }

    void text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("getticket for a VAT number")
            << BuildGetTicket("01234567890")
            << envelope("getticket", "<partitaiva xsi:type='xsd:string'>01234567890</partitaiva>");
        QTest::newRow("getchat, markup in the VAT number escaped")
            << BuildGetChat(15, 0, 1, "a&b<c>'d\"")
            << envelope("getchat", "<id xsi:type='xsd:integer'>15</id>"
                                   "<letto xsi:type='xsd:integer'>0</letto>"
                                   "<stascrivendo xsi:type='xsd:integer'>1</stascrivendo>"
                                   "<partitaiva xsi:type='xsd:string'>a&amp;b&lt;c&gt;&apos;d&quot;"
                                   "</partitaiva>");
        QTest::newRow("setreadchat message 2147483647")
            << BuildSetReadChat(2147483647)
            << envelope("setreadchat", "<id xsi:type='xsd:integer'>2147483647</id>");
        QTest::newRow("setchat attachment: Windows-1252 bytes, ? outside, a full line ends")
            << BuildSetChat(QString(50, u'x') + QString::fromUcs4(U"é€Ω\U0001F600"), 3, true)
            << envelope("setchat",
                        "<idticket xsi:type='xsd:integer'>3</idticket><testo "
                        "xsi:type='xsd:string'>" +
                            QStringLiteral("eHh4").repeated(16) +
                            "eHjpgD8/\r\n</testo><attach xsi:type='xsd:string'>1</attach>");
        // 27,700 bytes: 513 lines of 72, the last one whole too.
        QTest::newRow("Base64 of a long text: every line ends CR LF")
            << Base64().Encode(QString(27700, u'x'))
            << (QStringLiteral("eHh4").repeated(18) + "\r\n").repeated(512) +
                   QStringLiteral("eHh4").repeated(17) + "eA==\r\n";
        QTest::newRow("form encoding: Windows-1252 codes as %XX, controls 1 and 2 as % and +")
            << UrlEncode(QString::fromUcs4(U"Az09 +%?/=\r\n-._~\x01\x02\x0fè€Ω\U0001F600"))
            << QString::fromUcs4(
                   U"Az09+%2B%25%3F%2F%3D%0D%0A%2D%2E%5F%7E%25%2B%0F%E8%80Ω\U0001F600");
        QTest::newRow("answer in an unknown charset read as UTF-8")
            << ResponseText("text/xml; charset=x-none", "perch\xc3\xa9")
            << QStringLiteral("perché");
        QTest::newRow("answer: the first element at exactly that path")
            << statusIn("<x><status>no</status></x><status>OK</status><status>no</status>") << "OK";
        QTest::newRow("answer: entities resolved, CDATA and spaces kept")
            << statusIn("<status>&amp;&lt;&#233;&#x20AC;<![CDATA[ ]]><![CDATA[<b>]]></status>")
            << QStringLiteral("&<é€ <b>");
        QTest::newRow("answer: empty") << GetXmlValue({}, kStatusPath) << "";
    }

    void text() {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void malformedAnswerIsLogged() {
        QFile log(m_logFolder.filePath("Log.txt"));
        QVERIFY(!log.exists()); // nothing logged for the well-formed and empty answers above
        const QString answer = chatAnswer("<status>OK</status><id>1</di>");
        QCOMPARE(GetXmlValue(answer, kStatusPath), ""); // not the value before the fault
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString logged = QString::fromLatin1(log.readAll());
        QCOMPARE(logged.count(u'\n'), 2); // the reason, then the whole response
        QVERIFY2(logged.endsWith("- XML: " + answer + "\n"), qPrintable(logged));
    }

    // Every row has a body cap of 1 MiB. The peak memory may grow by 64 MiB at most against a
    // flood of 1 GiB; about half of that is the sanitizer's quarantine of what the peer, which
    // runs in this process, and the client freed.
    void hostilePeer_data() {
        QTest::addColumn<Peer>("peer");
        QTest::addColumn<int>("silenceMs");
        QTest::addColumn<int>("deadlineMs");
        QTest::addColumn<HttpOutcome>("outcome");
        QTest::newRow("silent before the head: abandoned for silence")
            << Peer::SilentBeforeTheHead << 500 << 20000 << HttpOutcome::Silent;
        QTest::newRow("a byte every 200 ms: abandoned at the deadline")
            << Peer::DripAfterTheHead << 20000 << 1000 << HttpOutcome::Overdue;
        QTest::newRow("declared length over the cap: abandoned at the head")
            << Peer::DeclareOverTheCap << 20000 << 20000 << HttpOutcome::TooLong;
        QTest::newRow("chunked body of exactly the cap: completed")
            << Peer::SendExactlyTheCap << 20000 << 20000 << HttpOutcome::Completed;
        QTest::newRow("1 GiB flood while the client is busy: abandoned past the cap")
            << Peer::FloodWhileTheClientIsBusy << 20000 << 20000 << HttpOutcome::TooLong;
    }
    void hostilePeer() {
        constexpr qint64 kCap = 1024 * 1024;
        constexpr size_t kFloodBytes = size_t(1) << 30;
        constexpr qint64 kPeakGrowthKiB = 64 * 1024;
        constexpr int kDripBytes = 25;
        constexpr int kBusyMs = 500;
        QFETCH(Peer, peer);
        QFETCH(int, silenceMs);
        QFETCH(int, deadlineMs);
        std::atomic<bool> flooding{false};
        m_server->server().Get("/answer", [&](const httplib::Request &, httplib::Response &res) {
            switch (peer) {
            case Peer::SilentBeforeTheHead:
                holdUntilReleased();
                return res.set_content("late", "text/plain");
            case Peer::DripAfterTheHead:
                return res.set_chunked_content_provider(
                    "text/plain", [](size_t offset, httplib::DataSink &sink) {
                        if (offset == kDripBytes) {
                            sink.done();
                            return true;
                        }
                        std::this_thread::sleep_for(std::chrono::milliseconds(kDripMs));
                        return sink.write("x", 1);
                    });
            case Peer::DeclareOverTheCap:
                return res.set_content_provider(kCap + 1, "application/octet-stream",
                                                [this](size_t, size_t, httplib::DataSink &) {
                                                    holdUntilReleased();
                                                    return false;
                                                });
            case Peer::SendExactlyTheCap:
                return serveBytes(res, kCap, true, kCap);
            case Peer::FloodWhileTheClientIsBusy:
                flooding = true;
                return serveBytes(res, kFloodBytes, true, kFloodBytes);
            }
        });
        serve();
        // The client's event loop stalls once, as under a long paint, while the flood runs.
        QTimer busy;
        connect(&busy, &QTimer::timeout, &busy, [&] {
            if (!flooding)
                return;
            busy.stop();
            QThread::msleep(kBusyMs);
        });
        busy.start(1);

        QVERIFY(restartPeakMemory());
        const qint64 before = memoryKiB("VmRSS");
        const QUrl url(QString::fromStdString(m_server->baseUrl()) + "/answer");
        const HttpResult result =
            HttpExchange::run(QNetworkRequest(url), "GET", {}, {silenceMs, deadlineMs, kCap});
        const qint64 growth = memoryKiB("VmHWM") - before;
        m_released = true;

        QTEST(result.outcome, "outcome");
        QCOMPARE(result.body, result.completed() ? byteRun(kCap) : QByteArray());
        QVERIFY2(before > 0 && growth < kPeakGrowthKiB, qPrintable(QString::number(growth)));
    }

    void postSoap() {
        m_server->server().Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 500; // an error page is still the answer
            res.set_content("\r\n\x80 <p>Errore</p>", "text/html; Charset=\"windows-1252\"");
        });
        serve();
        QCOMPARE(PostSoap("ws_chat_tre", QStringLiteral("<x>perché</x>")),
                 QStringLiteral("\r\n€ <p>Errore</p>"));
        QCOMPARE(m_server->requests().size(), size_t(1));
        const LoopbackServer::Request request = m_server->requests().front();
        QCOMPARE(request.method + " " + request.target + "\n" + request.body,
                 std::string("POST ") + kChatTrePath + "\n<x>perch\xc3\xa9</x>");
        QCOMPARE(headerLines(request, "Content-Type"), "Content-type: text/xml;charset=UTF-8\n");
        QCOMPARE(headerLines(request, "SOAPAction"), ""); // the service never asked for one
    }

    void upload() {
        m_server->server().Post(kUploadPath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 401; // no challenge: still the answer
            res.set_content("Non autorizzato", "text/html");
        });
        serve();
        QByteArray picture; // 64 bytes: one Base64 line of 72 and one of 16
        for (int code = 0; code < 256; code += 4)
            picture += char(code);
        const QString path = writeFile(picture);

        int status = 0;
        QCOMPARE(UploadFile(path, &status), QStringLiteral("Non autorizzato"));
        QCOMPARE(status, 401); // the caller tells a refusal from a stored file by it
        QCOMPARE(m_server->requests().size(), size_t(1));
        const LoopbackServer::Request request = m_server->requests().front();
        QCOMPARE(request.method + " " + request.target,
                 std::string("POST ") + kUploadPath + "?filename=" + kPictureName);
        QCOMPARE(headerLines(request, "Content-Type"),
                 "Content-type: application/x-www-form-urlencoded\n");
        QCOMPARE(request.body,
                 "documento=AAQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyAhIiMkJSYnKCkqKywt"
                 "Li8wMTIzNDU%0D%0A2Nzg5Ojs8PT4%2FA%3D%3D");

        m_server->stop(); // a failed exchange answers nothing, whatever sent it
        QCOMPARE(UploadFile(path, &status), QString());
        QCOMPARE(status, 0);
        QCOMPARE(UploadFile(writeFile({})), QStringLiteral("Errore file"));
    }

    // The name goes into the query so that the service decodes exactly it; a redirect is
    // followed only on the service's own host and port.
    void download_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<Redirect>("redirect");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("brokenAfter");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<bool>("stored");
        const QString name = kPictureName;
        const QByteArray query = kPictureName;
        const Redirect none = Redirect::None;
        QTest::newRow("200 of exactly 50 MiB replaces the file byte for byte")
            << name << query << none << 200 << kDownloadLimit << kDownloadLimit << false << true;
        QTest::newRow("404 keeps the earlier file")
            << name << query << none << 404 << 10 << 10 << false << false;
        QTest::newRow("broken transfer, old file kept")
            << name << query << none << 200 << 70000 << 30000 << false << false;
        QTest::newRow("chunked body growing over 50 MiB keeps the earlier file")
            << name << query << none << 200 << kDownloadLimit + 1 << kDownloadLimit + 1 << true
            << false;
        QTest::newRow("plain name as it is") << u"15_2026-12.06~1.jpg"_s << "15_2026-12.06~1.jpg"_ba
                                             << none << 200 << 4 << 4 << false << true;
        QTest::newRow("# does not end the address")
            << u"x.jpg#frag"_s << "x.jpg%23frag"_ba << none << 200 << 4 << 4 << false << true;
        QTest::newRow("& and = add no parameter")
            << u"q.jpg&nomefile=other.jpg"_s << "q.jpg%26nomefile%3Dother.jpg"_ba << none << 200
            << 4 << 4 << false << true;
        QTest::newRow("space, + and è")
            << u"a b+è.jpg"_s << "a%20b%2B%C3%A8.jpg"_ba << none << 200 << 4 << 4 << false << true;
        QTest::newRow("redirect to the same host and port: followed")
            << name << query << Redirect::SameOrigin << 200 << 4 << 4 << false << true;
        QTest::newRow("redirect to another origin: refused, nothing asked there")
            << name << query << Redirect::OtherOrigin << 200 << 4 << 4 << false << false;
    }

    void download() {
        QFETCH(QString, name);
        QFETCH(QByteArray, query);
        QFETCH(Redirect, redirect);
        QFETCH(int, status);
        QFETCH(int, length);
        QFETCH(int, brokenAfter);
        QFETCH(bool, chunked);
        QFETCH(bool, stored);
        const QString target = writeFile("earlier picture");
        const auto answer = [&](const httplib::Request &, httplib::Response &res) {
            res.status = status;
            serveBytes(res, size_t(length), chunked, size_t(brokenAfter));
        };
        LoopbackServer elsewhere;
        elsewhere.server().Get("/moved.jpg", answer);
        elsewhere.start();
        m_server->server().Get("/moved.jpg", answer);
        m_server->server().Get(
            kPicturePath, [&](const httplib::Request &req, httplib::Response &res) {
                if (redirect == Redirect::None)
                    return answer(req, res);
                res.set_redirect((redirect == Redirect::SameOrigin ? "" : elsewhere.baseUrl()) +
                                 "/moved.jpg");
            });
        serve();

        QCOMPARE(DownloadFile(PictureDownloadUrl(name), target), stored);
        // Qt may send a request again on a fresh connection; what was asked, and last, counts.
        QCOMPARE(QByteArray::fromStdString(m_server->requests().front().target),
                 kPicturePath + "?nomefile="_ba + query);
        QCOMPARE(m_server->requests().back().target == "/moved.jpg",
                 redirect == Redirect::SameOrigin);
        QCOMPARE(elsewhere.requests().size(), size_t(0));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), stored ? byteRun(length) : "earlier picture");
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void probeLink_data() {
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<Then>("then");
        QTest::addColumn<bool>("answersOk");
        QTest::newRow("status text OK") << "HTTP/1.1 200 OK"_ba << Then::Nothing << true;
        QTest::newRow("404 that says OK") << "HTTP/1.1 404 OK"_ba << Then::Nothing << true;
        QTest::newRow("lower-case ok") << "HTTP/1.1 200 ok"_ba << Then::Nothing << false;
        QTest::newRow("no status line") << ""_ba << Then::Nothing << false;
        QTest::newRow("OK, then a body that never ends: done at the head")
            << "HTTP/1.1 200 OK"_ba << Then::EndlessBody << true;
        QTest::newRow("redirect to a peer that says OK: not followed")
            << "HTTP/1.1 302 Found"_ba << Then::RedirectElsewhere << false;
    }
    void probeLink() {
        constexpr int kEndlessDripBytes = 50; // 10 s of body, far past the probe's 5 s
        QFETCH(QByteArray, statusLine);
        QFETCH(Then, then);
        // An environment may let Qt offer HTTP/2 in clear text, which has no status text.
        qputenv("QT_NETWORK_H2C_ALLOWED", "1");
        const auto unset = qScopeGuard([] { qunsetenv("QT_NETWORK_H2C_ALLOWED"); });
        RawPeer elsewhere("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        QByteArray head = statusLine + "\r\n";
        if (then == Then::RedirectElsewhere)
            head += "Location: http://127.0.0.1:" + QByteArray::number(elsewhere.serverPort()) +
                    "/b\r\n";
        head += then == Then::EndlessBody ? "Content-Length: 1000000\r\n\r\n"
                                          : "Content-Length: 0\r\n\r\n";
        RawPeer peer(head, then == Then::EndlessBody ? kEndlessDripBytes : 0);
        QVERIFY(peer.isListening() && elsewhere.isListening());

        QTEST(ProbeLink(QUrl(u"http://127.0.0.1:%1/a"_s.arg(peer.serverPort()))), "answersOk");
        QCOMPARE(peer.received.left(peer.received.indexOf("\r\n")), "GET /a HTTP/1.1"_ba);
        QVERIFY2(!peer.received.toLower().contains("upgrade"), peer.received.constData());
        QCOMPARE(elsewhere.received, QByteArray());
    }

    void isPlainFileName() {
        for (const QString name : {"..foto è 15.jpg", "foto\u00a015.jpg"})
            QVERIFY2(IsPlainFileName(name), qPrintable(name));
        for (const QString name : {"", ".", "..", "../x", "..\\x", "C:x.jpg", "a\n.jpg",
                                   "a\x7f.jpg", "a\u0085.jpg", "a\u009f.jpg"})
            QVERIFY2(!IsPlainFileName(name), qPrintable(name));
    }
};

QTEST_MAIN(TestService)
#include "tst_service.moc"
