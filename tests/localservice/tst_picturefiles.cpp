#include "ChatWire.h"
#include "OperatorCalls.h"
#include "ServiceProcess.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QTest>
#include <QUrl>

// Picture upload and download on the wire, against the real service process.
class TestPictureFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void uploadThenDownloadKeepsEveryByte_data();
    void uploadThenDownloadKeepsEveryByte();
    void uploadReplacesAPictureOfTheSameName();
    void missingPictureIs404();
    void refusedNames_data();
    void refusedNames();
    void badUploadBodies_data();
    void badUploadBodies();
    void oversizeBodyRefusedAndServiceGoesOn_data();
    void oversizeBodyRefusedAndServiceGoesOn();

private:
    static std::string uploadBody(const QByteArray &bytes) {
        return ChatWire::uploadBody(bytes).toStdString();
    }
    httplib::Result upload(const std::string &target, const std::string &body);

    ServiceProcess m_service;
    std::unique_ptr<httplib::Client> m_client;
};

void TestPictureFiles::initTestCase() {
    QVERIFY(m_service.start({"--memory", "--open-ticket", "01234567890"}));
    m_client = m_service.client();
}

void TestPictureFiles::cleanupTestCase() {
    QCOMPARE(m_service.stop(), 0);
}

httplib::Result TestPictureFiles::upload(const std::string &target, const std::string &body) {
    return m_client->Post(target, body, "application/x-www-form-urlencoded");
}

void TestPictureFiles::uploadThenDownloadKeepsEveryByte_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("contentType");

    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    QByteArray screenshot(3 * 1024 * 1024 + 7, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &c : screenshot)
        c = char(generator.bounded(256));

    QTest::newRow("JPEG header bytes")
        << "15_20261206151500.jpg" << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11)
        << "image/jpeg";
    QTest::newRow("every byte value in a PNG") << "op.png" << everyByte << "image/png";
    QTest::newRow("screenshot-sized, far over 8 KiB") << "big.jpg" << screenshot << "image/jpeg";
    QTest::newRow("one byte, unknown extension")
        << "uno.xyzzy" << QByteArray("x") << "application/octet-stream";
}

void TestPictureFiles::uploadThenDownloadKeepsEveryByte() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, contentType);

    const auto sent = upload(ChatWire::kUploadPath + name.toStdString(), uploadBody(bytes));
    QVERIFY(sent);
    QCOMPARE(sent->status, 200);

    const auto fetched = m_client->Get(ChatWire::kDownloadPath + name.toStdString());
    QVERIFY(fetched);
    QCOMPARE(fetched->status, 200);
    QCOMPARE(QString::fromStdString(fetched->get_header_value("Content-Type")), contentType);
    QVERIFY(QByteArray::fromStdString(fetched->body) == bytes);
}

void TestPictureFiles::uploadReplacesAPictureOfTheSameName() {
    const std::string target = std::string(ChatWire::kUploadPath) + "again.jpg";
    QCOMPARE(upload(target, uploadBody("first version, longer"))->status, 200);
    QCOMPARE(upload(target, uploadBody("second"))->status, 200);
    QCOMPARE(m_client->Get(std::string(ChatWire::kDownloadPath) + "again.jpg")->body,
             std::string("second"));
}

void TestPictureFiles::missingPictureIs404() {
    const auto fetched = m_client->Get(std::string(ChatWire::kDownloadPath) + "never.jpg");
    QVERIFY(fetched);
    QCOMPARE(fetched->status, 404);
}

void TestPictureFiles::refusedNames_data() {
    QTest::addColumn<QString>("encodedName"); // as it stands in the query

    QTest::newRow("empty") << "";
    QTest::newRow("dot") << ".";
    QTest::newRow("dot dot") << "..";
    QTest::newRow("slash, encoded") << "..%2Fetc%2Fpasswd";
    QTest::newRow("backslash") << "..%5Cwin.ini";
    QTest::newRow("drive colon") << "C%3Awin.ini";
    QTest::newRow("control character") << "a%0Ab.jpg";
}

void TestPictureFiles::refusedNames() {
    QFETCH(QString, encodedName);

    const std::string name = encodedName.toStdString();
    const auto sent = upload(ChatWire::kUploadPath + name, uploadBody("x"));
    QVERIFY(sent);
    QCOMPARE(sent->status, 400);
    const auto fetched = m_client->Get(ChatWire::kDownloadPath + name);
    QVERIFY(fetched);
    QCOMPARE(fetched->status, 400);
}

void TestPictureFiles::badUploadBodies_data() {
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("no documento field") << QByteArray("file=AAAA");
    QTest::newRow("empty documento") << QByteArray("documento=");
    QTest::newRow("documento not Base64") << QByteArray("documento=%21%21%21%21");
    QTest::newRow("empty body") << QByteArray();
}

void TestPictureFiles::badUploadBodies() {
    QFETCH(QByteArray, body);

    const std::string name =
        "bad_" + QByteArray(QTest::currentDataTag()).toHex().toStdString() + ".jpg";
    const auto sent = upload(ChatWire::kUploadPath + name, body.toStdString());
    QVERIFY(sent);
    QCOMPARE(sent->status, 400);
    QCOMPARE(m_client->Get(ChatWire::kDownloadPath + name)->status, 404);
}

void TestPictureFiles::oversizeBodyRefusedAndServiceGoesOn_data() {
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("picture upload") << QByteArray(ChatWire::kUploadPath) + "huge.jpg";
    QTest::newRow("SOAP endpoint") << QByteArray(ChatWire::kDuePath);
    QTest::newRow("operator picture") << QByteArray("/api/tickets/1/pictures?name=huge.jpg");
}

void TestPictureFiles::oversizeBodyRefusedAndServiceGoesOn() {
    QFETCH(QByteArray, target);

    constexpr size_t kOverTheLimit = 20 * 1024 * 1024 + 1;
    const auto sent = upload(target.toStdString(), "documento=" + std::string(kOverTheLimit, 'A'));
    // The service may close the connection instead of answering; either way nothing is stored.
    if (sent)
        QCOMPARE(sent->status, 413);
    QCOMPARE(m_client->Get(std::string(ChatWire::kDownloadPath) + "huge.jpg")->status, 404);
    QCOMPARE(OperatorCalls::conversation(*m_client, 1).json.value("messages").toArray().size(), 0);
    QCOMPARE(upload(std::string(ChatWire::kUploadPath) + "after.jpg", uploadBody("ok"))->status,
             200);
}

QTEST_GUILESS_MAIN(TestPictureFiles)
#include "tst_picturefiles.moc"
