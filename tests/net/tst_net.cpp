#include "EventLoopWait.h"
#include "LoopbackServer.h"
#include "TestFiles.h"
#include "net/DownloadFile.h"
#include "net/Envelopes.h"
#include "net/FileUpload.h"
#include "net/GetXmlValue.h"
#include "net/HttpExchange.h"
#include "net/PictureDownloadUrl.h"
#include "net/ResponseText.h"
#include "net/SoapTransport.h"
#include "net/UrlEncode.h"

#include <QGuiApplication>
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

// Every byte value in order, over and over: what a binary file must survive unchanged.
QByteArray byteRun(qsizetype length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(i);
    return bytes;
}

// Each request as "METHOD target", its Content-Type line and its body.
std::string onTheWire(const LoopbackServer &server) {
    std::string wire;
    for (const LoopbackServer::Request &request : server.requests())
        wire += request.method + " " + request.target + "\nContent-type: " + request.contentType +
                "\n" + request.body + "\n";
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

enum class Serve { Broken, NotFound, SameOrigin, OtherOrigin };

} // namespace

Q_DECLARE_METATYPE(Serve)

// What the client puts on the wire and how it reads the answers, against a real peer.
class TestService : public QObject {
    Q_OBJECT
    std::unique_ptr<LoopbackServer> m_server;
    QTemporaryDir m_folder; // holds only kPictureName, which every test rewrites

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
        QTest::newRow("answer: malformed, nothing") << GetXmlValue("<a><b>1</c></a>", "/a/b") << "";
        QTest::newRow("no Content-Type: the declaration's ISO-8859-1 as Windows-1252")
            << ResponseText("", "<?xml version='1.0' encoding='ISO-8859-1' ?>\n\x80\x91")
            << u"<?xml version='1.0' encoding='ISO-8859-1' ?>\n€‘"_s;
        QTest::newRow("the Content-Type's charset before the declaration")
            << ResponseText("text/xml; charset=utf-8",
                            "<?xml version='1.0' encoding='iso-8859-1'?>\xe2\x82\xac")
            << u"<?xml version='1.0' encoding='iso-8859-1'?>€"_s;
    }
    void text() {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    // An error page is still the answer, and a refusal tells itself from a stored file by status.
    void postSoapAndUpload() {
        m_server->server().Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 500;
            res.set_content("\r\n\x80 <p>Errore</p>", "text/html; Charset=\"windows-1252\"");
        });
        m_server->server().Post(kUploadPath, [](const httplib::Request &, httplib::Response &res) {
            res.status = 401;
            res.set_content("Non autorizzato", "text/html");
        });
        serve();
        QCOMPARE(soap(u"<x>perché</x>"_s), u"\r\n€ <p>Errore</p>"_s);
        const UploadAnswer answer = uploaded(writePicture(byteRun(64))); // Base64 lines: 72, 16
        QCOMPARE(answer.text, u"Non autorizzato"_s);
        QCOMPARE(answer.status, 401);
        QCOMPARE(onTheWire(*m_server),
                 std::string("POST ") + kChatTrePath +
                     "\nContent-type: text/xml;charset=UTF-8\n<x>perch\xc3\xa9</x>\nPOST " +
                     kUploadPath + "?filename=" + kPictureName +
                     "\nContent-type: application/x-www-form-urlencoded\ndocumento=AAECAwQFBgcI"
                     "CQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1%0D%0ANjc4OTo7"
                     "PD0%2BPw%3D%3D\n");
        QCOMPARE(uploaded(writePicture({})).text, u"Errore file"_s);
    }

    // Nothing reads ahead of a busy exchange: 16 MiB cap + kernel buffers (6 MiB on loopback).
    void floodIsNotReadAhead() {
        std::atomic<size_t> pushed{0};
        m_server->server().Post(kChatTrePath, [&pushed](const httplib::Request &, auto &res) {
            res.set_chunked_content_provider("image/jpeg", [&pushed](size_t at, auto &sink) {
                static const std::string mib(1 << 20, 'x');
                pushed = at;
                return sink.write(mib.data(), mib.size());
            });
        });
        serve();
        QTimer::singleShot(20, [] { QThread::msleep(500); }); // as under a long paint
        QCOMPARE(soap("<x/>"), QString());
        m_server->stop();
        QVERIFY2(pushed < 32u << 20, qPrintable(QString::number(pushed >> 20) + " MiB"));
    }

    // A peer that answers a byte at a time is given up at the exchange's deadline.
    void tricklingPeerIsGivenUp() {
        m_server->server().Get("/a", [](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(100, "text/plain", [](size_t, size_t, auto &sink) {
                QThread::msleep(200);
                return sink.write("x", 1);
            });
        });
        serve();
        const QUrl url(QString::fromStdString(m_server->baseUrl() + "/a"));
        QCOMPARE(
            answerOf<HttpResult>([&url](auto done) {
                HttpExchange::start(QNetworkRequest(url), "GET", {}, {2000, 4000, 1 << 20}, done);
            }).outcome,
            HttpOutcome::Overdue);
    }

    // The name goes whole into the query; a redirect is followed only on the same host and
    // port; a failed download keeps the earlier file.
    void download_data() {
        QTest::addColumn<Serve>("how");
        QTest::newRow("broken transfer") << Serve::Broken;
        QTest::newRow("404") << Serve::NotFound;
        QTest::newRow("redirect to the same host and port: stored") << Serve::SameOrigin;
        QTest::newRow("redirect to another host name") << Serve::OtherOrigin;
    }
    void download() {
        QFETCH(Serve, how);
        const QString target = writePicture("earlier picture");
        m_server->server().Get("/moved.jpg", [how](const httplib::Request &, auto &res) {
            res.status = how == Serve::NotFound ? 404 : 200;
            res.set_content_provider(70000, "image/jpeg", [how](size_t at, size_t, auto &sink) {
                const QByteArray piece = byteRun(70000).mid(at, 4096);
                return (how != Serve::Broken || at < 30000) &&
                       sink.write(piece.data(), piece.size());
            });
        });
        m_server->server().Get(kPicturePath, [this, how](const httplib::Request &, auto &res) {
            const std::string other = "http://localhost:" + std::to_string(m_server->port());
            res.set_redirect((how == Serve::OtherOrigin ? other : "") + "/moved.jpg");
        });
        serve();
        // "#" would end the address, "&" and "=" add a parameter, "+" read as a space.
        const bool stored = answerOf<bool>([&target](auto done) {
            DownloadFile(PictureDownloadUrl(u"a b+è#&n=.jpg"_s), target, done);
        });
        QCOMPARE(stored, how == Serve::SameOrigin);
        QCOMPARE(bytesOf(target), stored ? byteRun(70000) : "earlier picture");
        QCOMPARE(m_server->requests().front().target,
                 std::string(kPicturePath) + "?nomefile=a%20b%2B%C3%A8%23%26n%3D.jpg");
    }

    // A redirect would hand the VAT number, the messages and the pictures to another address.
    void postsFollowNoRedirect() {
        m_server->server().Post(".*", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("/elsewhere", 307);
        });
        serve();
        QCOMPARE(soap("<x/>"), QString());
        QCOMPARE(uploaded(writePicture("jpeg")).status, 0);
        QCOMPARE(m_server->requests().size(), size_t(2));
    }
};

QTEST_MAIN(TestService)
#include "tst_net.moc"
