#include "LoopbackServer.h"
#include "ServiceTestData.h"
#include "service/AttachmentDownload.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr char kPicturePath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php";
constexpr size_t kOverTheLimit = 50 * 1024 * 1024 + 1;

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestAttachmentDownload : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void storesExactBytes();
    void replacesAnEarlierFile();
    void refusedAnswerWritesNothing_data();
    void refusedAnswerWritesNothing();
    void unusableTargetGivesFalse();
    void isPlainFileName_data();
    void isPlainFileName();
    void pictureDownloadUrl();

private:
    QString url() const {
        return QString::fromStdString(m_server->baseUrl()) + kPicturePath + "?nomefile=pic.jpg";
    }
    QString target() const { return m_folder->filePath("pic.jpg"); }
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestAttachmentDownload::init() {
    m_server = std::make_unique<LoopbackServer>();
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void TestAttachmentDownload::cleanup() {
    m_server.reset();
    m_folder.reset();
}

void TestAttachmentDownload::storesExactBytes() {
    const QByteArray picture = everyByteValue(300);
    m_server->server().Get(kPicturePath, [&](const httplib::Request &, httplib::Response &res) {
        res.set_content(picture.toStdString(), "image/jpeg");
    });
    m_server->start();

    QVERIFY(DownloadFile(url(), target()));
    QCOMPARE(contentOf(target()), picture);
    QCOMPARE(m_server->requests().front().target, std::string(kPicturePath) + "?nomefile=pic.jpg");
    QCOMPARE(m_server->requests().front().method, std::string("GET"));
}

void TestAttachmentDownload::replacesAnEarlierFile() {
    writeFile(target(), QByteArray(5000, 'o'));
    m_server->server().Get(kPicturePath, [](const httplib::Request &, httplib::Response &res) {
        res.set_content("new", "image/jpeg");
    });
    m_server->start();

    QVERIFY(DownloadFile(url(), target()));
    QCOMPARE(contentOf(target()), QByteArray("new"));
}

void TestAttachmentDownload::refusedAnswerWritesNothing_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<size_t>("length");
    QTest::addColumn<size_t>("brokenAfter");
    QTest::addColumn<bool>("earlierFile");

    QTest::newRow("404 creates no file") << 404 << size_t(10) << size_t(10) << false;
    QTest::newRow("500 creates no file") << 500 << size_t(10) << size_t(10) << false;
    QTest::newRow("404 keeps the earlier file") << 404 << size_t(10) << size_t(10) << true;
    QTest::newRow("broken transfer creates no file")
        << 200 << size_t(100000) << size_t(30000) << false;
    QTest::newRow("broken transfer keeps the earlier file")
        << 200 << size_t(100000) << size_t(30000) << true;
    QTest::newRow("body over the limit creates no file")
        << 200 << kOverTheLimit << kOverTheLimit << false;
}

void TestAttachmentDownload::refusedAnswerWritesNothing() {
    QFETCH(int, status);
    QFETCH(size_t, length);
    QFETCH(size_t, brokenAfter);
    QFETCH(bool, earlierFile);
    const QByteArray earlier("earlier picture");
    if (earlierFile)
        writeFile(target(), earlier);
    m_server->server().Get(kPicturePath, [&](const httplib::Request &, httplib::Response &res) {
        res.status = status;
        const auto chunk = std::make_shared<std::string>(10000, 'p');
        res.set_content_provider(
            length, "image/jpeg", [=](size_t offset, size_t, httplib::DataSink &sink) {
                if (offset >= brokenAfter)
                    return false;
                sink.write(chunk->data(), std::min(chunk->size(), length - offset));
                return true;
            });
    });
    m_server->start();

    QVERIFY(!DownloadFile(url(), target()));
    const QStringList left = QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, earlierFile ? QStringList{"pic.jpg"} : QStringList());
    if (earlierFile)
        QCOMPARE(contentOf(target()), earlier);
}

void TestAttachmentDownload::unusableTargetGivesFalse() {
    m_server->server().Get(kPicturePath, [](const httplib::Request &, httplib::Response &res) {
        res.set_content("picture", "image/jpeg");
    });
    m_server->start();
    QVERIFY(!DownloadFile(url(), m_folder->filePath("missing-folder/pic.jpg")));
    QVERIFY(!QFile::exists(m_folder->filePath("missing-folder")));
}

void TestAttachmentDownload::isPlainFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");

    QTest::newRow("screenshot name") << "15_20261206151000.jpg" << true;
    QTest::newRow("name with spaces and accents") << QStringLiteral("foto è bella.png") << true;
    QTest::newRow("dots inside a name") << "..pic..jpg" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("current folder") << "." << false;
    QTest::newRow("parent folder") << ".." << false;
    QTest::newRow("climbs with slashes") << "../../etc/passwd" << false;
    QTest::newRow("climbs with backslashes") << "..\\..\\boot.ini" << false;
    QTest::newRow("absolute path") << "/tmp/pic.jpg" << false;
    QTest::newRow("drive letter") << "C:pic.jpg" << false;
    QTest::newRow("NUL character") << QString::fromLatin1("pic\0.jpg", 8) << false;
    QTest::newRow("line break") << "pic\n.jpg" << false;
}

void TestAttachmentDownload::isPlainFileName() {
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(IsPlainFileName(name), plain);
}

void TestAttachmentDownload::pictureDownloadUrl() {
    qputenv("BRENNO_SERVICE_URL", "http://127.0.0.1:8731/");
    QCOMPARE(PictureDownloadUrl("a b&c.jpg"),
             QStringLiteral("http://127.0.0.1:8731/RovizeveReravav/KD_API/Ticket/"
                            "downloadimg.php?nomefile=a b&c.jpg"));
    qunsetenv("BRENNO_SERVICE_URL");
}

QTEST_GUILESS_MAIN(TestAttachmentDownload)
#include "tst_attachmentdownload.moc"
