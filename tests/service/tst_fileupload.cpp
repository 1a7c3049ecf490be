#include "LoopbackServer.h"
#include "ServiceTestData.h"
#include "service/Base64.h"
#include "service/FileUpload.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {

constexpr char kUploadPath[] = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php";
constexpr char kScreenshotName[] = "15_20261206151000.jpg";

QString writeFile(const QTemporaryDir &folder, const QString &name, const QByteArray &content) {
    const QString path = folder.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QByteArray base64Bytes(const QString &encoded) {
    return QByteArray::fromBase64(QString(encoded).remove(QStringLiteral("\r\n")).toLatin1(),
                                  QByteArray::AbortOnBase64DecodingErrors);
}

} // namespace

class TestFileUpload : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void urlEncode_data();
    void urlEncode();
    void splitPath_data();
    void splitPath();
    void readFileBinaryKeepsEveryByte();
    void unreadableFileGivesEmpty();
    void uploadOnTheWire();
    void answerReturnedWhateverItsStatus_data();
    void answerReturnedWhateverItsStatus();
    void noFileDataSendsNothing_data();
    void noFileDataSendsNothing();
    void unreachableServiceGivesEmpty();
    void waitCursorOnlyDuringTheUpload();

private:
    void startServer() {
        m_server->start();
        qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(m_server->baseUrl()));
    }
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestFileUpload::init() {
    m_server = std::make_unique<LoopbackServer>();
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void TestFileUpload::cleanup() {
    m_server.reset();
    m_folder.reset();
    qunsetenv("BRENNO_SERVICE_URL");
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestFileUpload::urlEncode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("space, plus and percent") << "a b+c%d"
                                             << "a+b%2Bc%25d";
    QTest::newRow("line breaks") << "a\r\nb"
                                 << "a%0D%0Ab";
    QTest::newRow("unreserved punctuation is encoded too") << "x-y.z_w~"
                                                           << "x%2Dy%2Ez%5Fw%7E";
    QTest::newRow("controls 1 and 2 read as percent and plus") << "\x01\x02"
                                                               << "%25%2B";
    QTest::newRow("other controls with a leading zero")
        << QString::fromLatin1("\0\t\x0f", 3) << "%00%09%0F";
    QTest::newRow("Base64 specials") << "ab+/=\r\n"
                                     << "ab%2B%2F%3D%0D%0A";
    QTest::newRow("question mark is a character of its own") << "?"
                                                             << "%3F";
    QTest::newRow("Windows-1252 letters by their code") << QStringLiteral("è€") << "%E8%80";
    QTest::newRow("outside the code page passes unchanged")
        << QStringLiteral("Ωx") << QStringLiteral("Ωx");
    QTest::newRow("astral character passes unchanged")
        << QString::fromUcs4(U"a\U0001F600") << QString::fromUcs4(U"a\U0001F600");
    QTest::newRow("letters and digits pass") << "AZaz09"
                                             << "AZaz09";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFileUpload::urlEncode() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(UrlEncode(text), expected);
}

void TestFileUpload::splitPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");

    QTest::newRow("Windows path") << "C:\\App\\TempImg\\a.jpg"
                                  << "a.jpg"
                                  << "C:\\App\\TempImg\\";
    QTest::newRow("Linux path") << "/opt/app/TempImg/a.jpg"
                                << "a.jpg"
                                << "/opt/app/TempImg/";
    QTest::newRow("mixed separators, last one wins") << "/opt\\x/a.jpg"
                                                     << "a.jpg"
                                                     << "/opt\\x/";
    QTest::newRow("no separator") << "a.jpg"
                                  << "a.jpg"
                                  << "";
    QTest::newRow("ends with a separator") << "/opt/app/"
                                           << ""
                                           << "/opt/app/";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TestFileUpload::splitPath() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, folder);
    const auto parts = SplitPath(path);
    QCOMPARE(parts.first, name);
    QCOMPARE(parts.second, folder);
}

void TestFileUpload::readFileBinaryKeepsEveryByte() {
    const QByteArray bytes = everyByteValue(3);
    const QString path = writeFile(*m_folder, "bytes.bin", bytes);
    const QString text = ReadFileBinary(path);
    QCOMPARE(text.size(), bytes.size());
    QCOMPARE(base64Bytes(Base64().Encode(text)), bytes);
}

void TestFileUpload::unreadableFileGivesEmpty() {
    QCOMPARE(ReadFileBinary(m_folder->filePath("missing.jpg")), QString());
    QCOMPARE(ReadFileBinary(m_folder->path()), QString());
}

void TestFileUpload::uploadOnTheWire() {
    // httplib refuses form bodies over 8 KiB unless a content reader takes them, and then the
    // recorded request has no body: collect it here.
    std::string received;
    m_server->server().Post(kUploadPath, httplib::Server::HandlerWithContentReader(
                                             [&](const httplib::Request &, httplib::Response &res,
                                                 const httplib::ContentReader &reader) {
                                                 reader([&](const char *data, size_t length) {
                                                     received.append(data, length);
                                                     return true;
                                                 });
                                                 res.set_content("OK", "text/plain");
                                             }));
    startServer();
    const QByteArray picture = everyByteValue(800); // the size of a screenshot
    const QString path = writeFile(*m_folder, kScreenshotName, picture);

    QCOMPARE(UploadFile(path), QStringLiteral("OK"));

    const auto requests = m_server->requests();
    QCOMPARE(requests.size(), size_t(1));
    const LoopbackServer::Request &request = requests.front();
    QCOMPARE(request.method, std::string("POST"));
    QCOMPARE(request.target, std::string(kUploadPath) + "?filename=" + kScreenshotName);
    int contentTypes = 0;
    for (const auto &[name, value] : request.headers) {
        if (QByteArray::fromStdString(name).toLower() != "content-type")
            continue;
        ++contentTypes;
        QCOMPARE(name, std::string("Content-type"));
        QCOMPARE(value, std::string("application/x-www-form-urlencoded"));
    }
    QCOMPARE(contentTypes, 1);

    const QByteArray body = QByteArray::fromStdString(received);
    QVERIFY(body.startsWith("documento="));
    const QByteArray value = body.mid(qsizetype(strlen("documento=")));
    for (const char c : value)
        QVERIFY2(std::isalnum(uchar(c)) || c == '%', "only letters, digits and escapes");
    QVERIFY(value.contains("%0D%0A"));
    QCOMPARE(base64Bytes(QString::fromLatin1(QByteArray::fromPercentEncoding(value))), picture);
}

void TestFileUpload::answerReturnedWhateverItsStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer");
    QTest::newRow("accepted") << 200 << "OK";
    QTest::newRow("server error page") << 500 << "<html><body>Errore interno</body></html>";
}

void TestFileUpload::answerReturnedWhateverItsStatus() {
    QFETCH(int, status);
    QFETCH(QString, answer);
    m_server->server().Post(kUploadPath, [&](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        res.set_content(answer.toStdString(), "text/html");
    });
    startServer();
    QCOMPARE(UploadFile(writeFile(*m_folder, kScreenshotName, "jpeg")), answer);
}

void TestFileUpload::noFileDataSendsNothing_data() {
    QTest::addColumn<bool>("create");
    QTest::newRow("missing file") << false;
    QTest::newRow("empty file") << true;
}

void TestFileUpload::noFileDataSendsNothing() {
    QFETCH(bool, create);
    m_server->server().Post(kUploadPath, [](const httplib::Request &, httplib::Response &res) {
        res.set_content("OK", "text/plain");
    });
    startServer();
    const QString path = create ? writeFile(*m_folder, kScreenshotName, QByteArray())
                                : m_folder->filePath(kScreenshotName);
    QCOMPARE(UploadFile(path), QStringLiteral("Errore file"));
    QVERIFY(m_server->requests().empty());
}

void TestFileUpload::unreachableServiceGivesEmpty() {
    qputenv("BRENNO_SERVICE_URL",
            QByteArray("http://127.0.0.1:") + QByteArray::number(closedLocalPort()));
    QCOMPARE(UploadFile(writeFile(*m_folder, kScreenshotName, "jpeg")), QString());
}

void TestFileUpload::waitCursorOnlyDuringTheUpload() {
    std::atomic<bool> observed{false};
    m_server->server().Post(kUploadPath, [&](const httplib::Request &, httplib::Response &res) {
        // Answers only after the client has looked, so the look happens inside the upload.
        while (!observed)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        res.set_content("OK", "text/plain");
    });
    startServer();

    Qt::CursorShape during = Qt::ArrowCursor;
    QTimer::singleShot(0, [&] {
        if (const QCursor *cursor = QGuiApplication::overrideCursor())
            during = cursor->shape();
        observed = true;
    });
    QCOMPARE(UploadFile(writeFile(*m_folder, kScreenshotName, "jpeg")), QStringLiteral("OK"));
    QCOMPARE(during, Qt::WaitCursor);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(TestFileUpload)
#include "tst_fileupload.moc"
