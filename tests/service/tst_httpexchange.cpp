#include "LoopbackServer.h"
#include "service/AttachmentDownload.h"
#include "service/FileUpload.h"
#include "service/HttpExchange.h"
#include "service/SoapTransport.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cctype>

namespace {

constexpr char kChatTrePath[] = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr char kUploadPath[] = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php";
constexpr char kPicturePath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php";
constexpr char kPictureName[] = "15_20261206151000.jpg";
constexpr int kOverTheDownloadLimit = 50 * 1024 * 1024 + 1;

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
        if (offset < std::min(length, brokenAfter))
            return sink.write(piece.data(), std::min(size_t(piece.size()), length - offset));
        if (chunked)
            sink.done();
        return chunked;
    };
    if (chunked)
        res.set_chunked_content_provider("application/octet-stream", provide);
    else
        res.set_content_provider(
            length, "application/octet-stream",
            [=](size_t offset, size_t, httplib::DataSink &sink) { return provide(offset, sink); });
}

// Every header of that name as it came on the wire, one "Name: value" line each.
std::string headerLines(const LoopbackServer::Request &request, const char *name) {
    std::string lines;
    const auto [first, last] = request.headers.equal_range(name);
    for (auto it = first; it != last; ++it)
        lines += it->first + ": " + it->second + "\n";
    return lines;
}

} // namespace

// The one HTTP helper and the exchanges built on it, against a real peer on loopback.
class TestHttpExchange : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void silenceAbandonsTheExchange();
    void bodyLimit_data();
    void bodyLimit();
    void postSoap();
    void upload();
    void download_data();
    void download();
    void isPlainFileName();

private:
    // Starts the peer with the handlers registered so far and makes it the service.
    void serve() {
        m_server->start();
        qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(m_server->baseUrl()));
    }
    QString writeFile(const QByteArray &content) {
        QFile file(m_folder->filePath(kPictureName));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        return file.fileName();
    }
    std::atomic<bool> m_released{false};
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestHttpExchange::init() {
    m_released = false;
    m_server = std::make_unique<LoopbackServer>();
    m_folder = std::make_unique<QTemporaryDir>();
}

void TestHttpExchange::cleanup() {
    m_released = true; // a held answer lets the peer stop
    m_server.reset();
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // the upload's wait cursor is gone
}

void TestHttpExchange::silenceAbandonsTheExchange() {
    m_server->server().Get("/held", [this](const httplib::Request &, httplib::Response &res) {
        // Held far beyond the limit, but bounded: a broken limit fails instead of hanging.
        for (int waited = 0; !m_released && waited < 20000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        res.set_content("late", "text/plain");
    });
    serve();
    bool inProgressDuring = false;
    QTimer::singleShot(0, [&] { inProgressDuring = HttpExchange::inProgress(); });
    const QUrl url(QString::fromStdString(m_server->baseUrl()) + "/held");
    QVERIFY(!HttpExchange::run(QNetworkRequest(url), "GET", {}, 500).completed);
    QVERIFY(inProgressDuring);
    QVERIFY(!HttpExchange::inProgress());
}

void TestHttpExchange::bodyLimit_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<qint64>("maxBodyBytes");
    QTest::addColumn<bool>("completed");
    QTest::newRow("declared length at the limit") << 9000 << false << 9000LL << true;
    QTest::newRow("declared length over the limit") << 9000 << false << 8999LL << false;
    QTest::newRow("chunked body grows over the limit") << 9000 << true << 8999LL << false;
}

void TestHttpExchange::bodyLimit() {
    QFETCH(int, length);
    QFETCH(bool, chunked);
    QFETCH(qint64, maxBodyBytes);
    QFETCH(bool, completed);
    m_server->server().Get("/body", [&](const httplib::Request &, httplib::Response &res) {
        serveBytes(res, size_t(length), chunked, size_t(length));
    });
    serve();
    const QUrl url(QString::fromStdString(m_server->baseUrl()) + "/body");
    const HttpResult result =
        HttpExchange::run(QNetworkRequest(url), "GET", {}, 30000, maxBodyBytes);
    QCOMPARE(result.completed, completed);
    QCOMPARE(result.body, completed ? byteRun(length) : QByteArray());
}

void TestHttpExchange::postSoap() {
    m_server->server().Post(kChatTrePath, [](const httplib::Request &, httplib::Response &res) {
        res.status = 500; // an error page is still the answer
        res.set_content("\r\n\x80 <p>Errore</p>", "text/html; Charset=\"windows-1252\"");
    });
    serve();
    QCOMPARE(PostSoap("ws_chat_tre", QStringLiteral("<x>perché</x>")),
             QStringLiteral("\r\n€ <p>Errore</p>"));
    QCOMPARE(m_server->requests().size(), size_t(1));
    const LoopbackServer::Request request = m_server->requests().front();
    QCOMPARE(request.method + " " + request.target, std::string("POST ") + kChatTrePath);
    QCOMPARE(request.body, std::string("<x>perch\xc3\xa9</x>"));
    QCOMPARE(headerLines(request, "Content-Type"), "Content-type: text/xml;charset=UTF-8\n");
    QCOMPARE(headerLines(request, "SOAPAction"), "");

    m_server->stop();
    QCOMPARE(PostSoap("ws_chat_tre", "<x/>"), QString());
}

void TestHttpExchange::upload() {
    // httplib refuses form bodies over 8 KiB unless a content reader takes them, and then the
    // recorded request has no body: collect it here.
    std::string received;
    m_server->server().Post(kUploadPath, [&](const httplib::Request &, httplib::Response &res,
                                             const httplib::ContentReader &reader) {
        reader([&](const char *data, size_t length) {
            received.append(data, length);
            return true;
        });
        res.status = 401; // no challenge: still the answer
        res.set_content("Non autorizzato", "text/html");
    });
    serve();
    const QByteArray picture = byteRun(200000); // the size of a screenshot
    const QString path = writeFile(picture);

    QCOMPARE(UploadFile(path), QStringLiteral("Non autorizzato"));
    QCOMPARE(m_server->requests().size(), size_t(1));
    const LoopbackServer::Request request = m_server->requests().front();
    QCOMPARE(request.method + " " + request.target,
             std::string("POST ") + kUploadPath + "?filename=" + kPictureName);
    QCOMPARE(headerLines(request, "Content-Type"),
             "Content-type: application/x-www-form-urlencoded\n");
    const QByteArray body = QByteArray::fromStdString(received);
    QVERIFY(body.startsWith("documento="));
    const QByteArray value = body.mid(body.indexOf('=') + 1);
    QVERIFY2(std::all_of(value.cbegin(), value.cend(),
                         [](char c) { return std::isalnum(uchar(c)) || c == '%'; }),
             "only letters, digits and escapes");
    QCOMPARE(QByteArray::fromBase64(QByteArray::fromPercentEncoding(value)), picture);

    // With the service gone, a request sent would answer "".
    m_server->stop();
    QCOMPARE(UploadFile(path), QString());
    QCOMPARE(UploadFile(m_folder->filePath("missing")), QStringLiteral("Errore file"));
    QCOMPARE(UploadFile(writeFile({})), QStringLiteral("Errore file"));
}

void TestHttpExchange::download_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("brokenAfter");
    QTest::addColumn<bool>("stored");
    QTest::newRow("200 replaces the file byte for byte") << 200 << 70000 << 70000 << true;
    QTest::newRow("404 keeps the earlier file") << 404 << 10 << 10 << false;
    QTest::newRow("broken transfer keeps the earlier file") << 200 << 70000 << 30000 << false;
    QTest::newRow("body over 50 MiB keeps the earlier file")
        << 200 << kOverTheDownloadLimit << kOverTheDownloadLimit << false;
}

void TestHttpExchange::download() {
    QFETCH(int, status);
    QFETCH(int, length);
    QFETCH(int, brokenAfter);
    QFETCH(bool, stored);
    const QByteArray earlier("earlier picture");
    const QString target = writeFile(earlier);
    m_server->server().Get(kPicturePath, [&](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        serveBytes(res, size_t(length), false, size_t(brokenAfter));
    });
    serve();

    QCOMPARE(DownloadFile(PictureDownloadUrl("a b&c.jpg"), target), stored);
    QCOMPARE(m_server->requests().size(), size_t(1));
    QCOMPARE(m_server->requests().front().target,
             std::string(kPicturePath) + "?nomefile=a%20b&c.jpg");
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored ? byteRun(length) : earlier);
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestHttpExchange::isPlainFileName() {
    QVERIFY(IsPlainFileName(QStringLiteral("..foto è 15.jpg")));
    for (const QString name :
         {"", ".", "..", "../../etc/passwd", "..\\boot.ini", "C:pic.jpg", "a\n.jpg"})
        QVERIFY2(!IsPlainFileName(name), qPrintable(name));
}

QTEST_MAIN(TestHttpExchange)
#include "tst_httpexchange.moc"
