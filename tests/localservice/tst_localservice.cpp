#include "ServiceProcess.h"
#include "TypingState.h"
#include "app/Windows1252.h"
#include "service/Base64.h"
#include "service/Envelopes.h"
#include "service/FileUpload.h"

#include <QDateTime>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr auto kDue = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTre = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr auto kUpload = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
constexpr auto kDownload = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";
constexpr auto kStartupVat = "11111111111"; // ticket 1, opened by --open-ticket

std::string ticketPath(qint32 id, const char *tail) {
    return "/api/tickets/" + std::to_string(id) + tail;
}

// As the client uploads a file.
QByteArray uploadBody(const QByteArray &bytes) {
    return "documento=" + UrlEncode(Base64().Encode(Windows1252::decode(bytes))).toLatin1();
}

QByteArray textBody(const QString &testo) {
    return QJsonDocument(QJsonObject{{"testo", testo}}).toJson();
}

} // namespace

// The service program over HTTP: the client's SOAP protocol, picture files, the operator API
// and what outlives a restart. Each case works on a ticket of its own.
class TestLocalService : public QObject {
    Q_OBJECT

    ServiceProcess m_service;
    qint64 m_lastVat = 30000000000;

    std::pair<qint32, QString> freshTicket(bool closed = false) {
        const QString vat = QString::number(++m_lastVat);
        const auto opened = m_service.post("/api/tickets", "{\"vat\":\"" + vat.toUtf8() + "\"}");
        const qint32 id = opened.json()["id"].toInt();
        if (closed)
            m_service.post(ticketPath(id, "/close"), {});
        return {id, vat};
    }
    ServiceProcess::Reply soap(const char *path, const QString &envelope) {
        return m_service.post(path, envelope.toUtf8());
    }
    ServiceProcess::Reply getChat(qint32 id, qint32 letto, const QString &vat, int typing = 0) {
        return soap(kTre, BuildGetChat(id, letto, qint16(typing), vat));
    }
    QJsonObject conversation(qint32 id) {
        return m_service.get(ticketPath(id, "/messages")).json();
    }

private slots:
    void initTestCase() { QVERIFY(m_service.start({"--memory", "--open-ticket", kStartupVat})); }
    void cleanupTestCase() { QCOMPARE(m_service.stop(), 0); }

    // The console page in a headless browser: its self-test lists the tickets and sends a text
    // to the first open one (ticket 1), which the service must then hold.
    void consoleSendsAMessage() {
        const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (chromium.isEmpty())
            QSKIP("chromium is not installed");
        QTemporaryDir profile;
        QProcess browser;
        browser.start(
            chromium,
            {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--no-first-run",
             "--user-data-dir=" + profile.path(), "--virtual-time-budget=10000", "--dump-dom",
             QStringLiteral("http://127.0.0.1:%1/operator?selftest=1").arg(m_service.port())});
        QVERIFY(browser.waitForFinished(120000));
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        const QJsonArray messages = conversation(1)["messages"].toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0]["idoperatore"].toInt(), 7);
        QVERIFY2(dom.contains(QStringLiteral("#1 ") + kStartupVat), qPrintable(dom));
        QVERIFY2(dom.contains(QStringLiteral("selftest ok: ticket 1")), qPrintable(dom));
        QVERIFY2(dom.contains(QStringLiteral("<div class=\"msg operator\">") +
                              messages[0]["testo"].toString()),
                 qPrintable(dom));
    }

    void chatFromOpeningToClosing() {
        const auto [id, vat] = freshTicket();
        QCOMPARE(soap(kDue, BuildGetTicket(vat)).field("getticket", "id"), QString::number(id));
        QCOMPARE(soap(kDue, BuildGetTicket(vat + "x")).field("getticket", "status"), "KO");
        QList<qint32> ids;
        for (const char *text : {"primo", "secondo"})
            ids << m_service.post(ticketPath(id, "/messages"), textBody(text)).json()["id"].toInt();
        qint32 letto = 0;
        for (const char *expected : {"primo", "secondo"}) {
            const auto answer = getChat(id, letto, vat);
            QCOMPARE(answer.field("getchat", "testo"), expected);
            QCOMPARE(answer.field("getchat", "idoperatore"), "7");
            QVERIFY(QDateTime::fromString(answer.field("getchat", "data"), "yyyy-MM-dd HH:mm:ss")
                        .isValid());
            letto = answer.field("getchat", "id").toInt();
        }
        QCOMPARE(getChat(id, letto, vat).field("getchat", "status"), "nomsg");
        QCOMPARE(getChat(id, 0, kStartupVat).field("getchat", "status"), "noticket");
        QCOMPARE(soap(kDue, BuildSetReadChat(ids[0])).field("setreadchat", "status"), "OK");
        QCOMPARE(getChat(id, 0, vat).field("getchat", "letto"), "1");
        QCOMPARE(soap(kDue, BuildSetReadChat(ids[1] + 1000)).field("setreadchat", "status"), "KO");
        m_service.post(ticketPath(id, "/close"), {});
        QCOMPARE(soap(kDue, BuildGetTicket(vat)).field("getticket", "status"), "KO");
        QCOMPARE(getChat(id, 0, vat).field("getchat", "status"), "noticket");
    }

    void customerText_data() {
        QTest::addColumn<QByteArray>("windows1252");
        QTest::addColumn<bool>("attach");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("expectedTesto"); // empty: refused, nothing stored
        QTest::newRow("euro sign past a Base64 line")
            << QByteArray(80, 'a') + "\x80" << false << false << QString(80, u'a') + u'€';
        QTest::newRow("CRLF -> <br>") << QByteArray("a\r\nb\r\n") << false << false << "a<br>b<br>";
        QTest::newRow("picture name") << QByteArray("15_1.jpg") << true << false << "15_1.jpg";
        QTest::newRow("picture name with a path") << QByteArray("..\\a.ini") << true << false << "";
        QTest::newRow("ticket closed") << QByteArray("ciao") << false << true << "";
    }
    void customerText() {
        QFETCH(QByteArray, windows1252);
        QFETCH(bool, attach);
        QFETCH(bool, closed);
        QFETCH(QString, expectedTesto);
        const auto [id, vat] = freshTicket(closed);
        const auto sent = soap(kTre, BuildSetChat(Windows1252::decode(windows1252), id, attach));
        QCOMPARE(sent.field("setchat", "status"), expectedTesto.isEmpty() ? "KO" : "OK");
        QCOMPARE(conversation(id)["messages"].toArray().size(), expectedTesto.isEmpty() ? 0 : 1);
        const auto echoed = getChat(id, 0, vat);
        QCOMPARE(echoed.field("getchat", "testo"), expectedTesto);
        QVERIFY(expectedTesto.isEmpty() ||
                echoed.field("getchat", "attach") == QString::number(attach));
    }

    void operatorRequest_data() {
        QTest::addColumn<QString>("path"); // ID: the case's ticket
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("expectedStatus");
        QTest::addColumn<QString>("expectedOnWire"); // in the delivery; empty: nothing stored
        const QString text = "/api/tickets/ID/messages";
        QTest::newRow("markup escaped on the wire")
            << text << textBody("1 < 2 & 3") << 200 << "<testo>1 &lt; 2 &amp; 3</testo>";
        QTest::newRow("line breaks -> <br>")
            << text << textBody("a\nb\r\nc") << 200 << "<testo>a&lt;br&gt;b&lt;br&gt;c</testo>";
        QTest::newRow("control characters dropped")
            << text << textBody("a\x01z\x1B") << 200 << "<testo>az</testo>";
        QTest::newRow("picture that is no picture")
            << "/api/tickets/ID/pictures?name=virus.exe" << QByteArray("MZ") << 400 << "";
        QTest::newRow("VAT with markup")
            << "/api/tickets" << QByteArray("{\"vat\":\"<b>1</b>\"}") << 400 << "";
        QTest::newRow("ticket id beyond 32 bits")
            << "/api/tickets/99999999999999999999/close" << QByteArray() << 404 << "";
    }
    void operatorRequest() {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, expectedStatus);
        QFETCH(QString, expectedOnWire);
        const auto [id, vat] = freshTicket();
        path.replace("ID", QString::number(id));
        QCOMPARE(m_service.post(path.toStdString(), body).status, expectedStatus);
        QCOMPARE(conversation(id)["messages"].toArray().size(), expectedOnWire.isEmpty() ? 0 : 1);
        QVERIFY(getChat(id, 0, vat).body.contains(expectedOnWire.toUtf8()));
    }

    void operatorPictureGetsANameOfItsOwn() {
        const auto [id, vat] = freshTicket();
        const QByteArray picture("\x89PNG\r\n\x1A\n\x00\x00", 10);
        const std::string path = ticketPath(id, "/pictures?name=Schermata%20uno.PNG");
        const QString name = m_service.post(path, picture).json()["name"].toString();
        QVERIFY2(name.endsWith(".png") && !name.contains(u' '), qPrintable(name));
        // The client never downloads a name twice.
        const QString second = m_service.post(path, picture).json()["name"].toString();
        QVERIFY2(!second.isEmpty() && second != name, qPrintable(second));
        const auto delivered = getChat(id, 0, vat);
        QCOMPARE(delivered.field("getchat", "attach"), "1");
        QCOMPARE(delivered.field("getchat", "testo"), name);
        QCOMPARE(m_service.get(kDownload + name.toStdString()).body, picture);
    }

    void typingReport() {
        const auto [id, vat] = freshTicket();
        getChat(id, 0, vat, 1);
        QCOMPARE(conversation(id)["typing"].toBool(), true);
        getChat(id, 0, vat, 2);
        QCOMPARE(conversation(id)["typing"].toBool(), false);
        // A client that stops polling never sends the flag back to 0.
        QVERIFY(TypingState({true, 0}).isTypingAt(TypingState::kFreshForMs));
        QVERIFY(!TypingState({true, 0}).isTypingAt(TypingState::kFreshForMs + 1));
    }

    void badRequestGetsFault_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("body");
        const QString getTicket = BuildGetTicket(kStartupVat);
        const QString dtd = "<!DOCTYPE e [<!ENTITY a 'aaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>";
        QTest::newRow("not XML") << kDue << "ciao";
        QTest::newRow("entity expansion")
            << kDue << dtd + QString(getTicket).replace(kStartupVat, "&b;");
        QTest::newRow("getticket on the other endpoint") << kTre << getTicket;
        QTest::newRow("id not a number") << kDue << BuildSetReadChat(1).replace(">1<", ">uno<");
    }
    void badRequestGetsFault() {
        QFETCH(QString, path);
        QFETCH(QString, body);
        const auto answer = m_service.post(path.toStdString(), body.toUtf8());
        QCOMPARE(answer.status, 500);
        QVERIFY2(answer.body.contains("<faultcode>SOAP-ENV:Client</faultcode>"), answer.body);
    }

    void pictureFile_data() {
        QTest::addColumn<QString>("name");     // as it stands in the query
        QTest::addColumn<QByteArray>("bytes"); // empty: a form without the file
        QTest::addColumn<int>("expectedUpload");
        QTest::addColumn<int>("expectedDownload");
        QByteArray screenshot(3 * 1024 * 1024 + 256, Qt::Uninitialized);
        for (qsizetype i = 0; i < screenshot.size(); ++i)
            screenshot[i] = char(i ^ (i >> 9) ^ (i >> 17)); // no two 8 KiB blocks alike
        QTest::newRow("every byte value, far over 8 KiB") << "a.png" << screenshot << 200 << 200;
        QTest::newRow("same name again, shorter") << "a.png" << QByteArray("2") << 200 << 200;
        QTest::newRow("dot dot") << ".." << QByteArray("x") << 400 << 400;
        QTest::newRow("slash, encoded") << "..%2Fetc%2Fpasswd" << QByteArray("x") << 400 << 400;
        QTest::newRow("backslash") << "..%5Cwin.ini" << QByteArray("x") << 400 << 400;
        QTest::newRow("no documento field") << "b.jpg" << QByteArray() << 400 << 404;
    }
    void pictureFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, expectedUpload);
        QFETCH(int, expectedDownload);
        const QByteArray form = bytes.isEmpty() ? "file=AAAA" : uploadBody(bytes);
        QCOMPARE(m_service.post(kUpload + name.toStdString(), form).status, expectedUpload);
        const auto fetched = m_service.get(kDownload + name.toStdString());
        QCOMPARE(fetched.status, expectedDownload);
        QVERIFY(expectedDownload != 200 || fetched.body == bytes);
    }

    void oversizeUploadRefused() {
        constexpr qsizetype kOverTheLimit = 20 * 1024 * 1024 + 1;
        const std::string huge = "huge.jpg";
        const auto sent =
            m_service.post(kUpload + huge, "documento=" + QByteArray(kOverTheLimit, 'A'));
        // The service may close the connection instead of answering; either way it keeps nothing.
        QVERIFY(sent.status == 413 || sent.status == 0);
        QCOMPARE(m_service.get(kDownload + huge).status, 404);
        QCOMPARE(m_service.post(kUpload + huge, uploadBody("x")).status, 200);
    }

    void databaseAndPicturesOutliveTheProcess() {
        QTemporaryDir folder;
        const QStringList options{"--db", folder.filePath("chat.db"), "--files", folder.path()};
        ServiceProcess first;
        QVERIFY(first.start(options));
        const qint32 id = first.post("/api/tickets", "{\"vat\":\"1\"}").json()["id"].toInt();
        QCOMPARE(first.post(ticketPath(id, "/messages"), textBody("ancora qui")).status, 200);
        QCOMPARE(first.post(kUpload + std::string("a.jpg"), uploadBody("x")).status, 200);
        QCOMPARE(first.stop(), 0);
        ServiceProcess second;
        QVERIFY(second.start(options));
        const QJsonArray messages =
            second.get(ticketPath(id, "/messages")).json()["messages"].toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0]["testo"].toString(), "ancora qui");
        QCOMPARE(second.get(kDownload + std::string("a.jpg")).body, QByteArray("x"));
        QCOMPARE(second.stop(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "tst_localservice.moc"
