#include "ChatWire.h"
#include "OperatorCalls.h"
#include "ServiceProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using OperatorCalls::Reply;

namespace {

std::string ticketPath(qint32 ticketId, const char *tail) {
    return "/api/tickets/" + std::to_string(ticketId) + tail;
}

QJsonArray messagesOf(httplib::Client &client, qint32 ticketId) {
    return OperatorCalls::conversation(client, ticketId).json.value("messages").toArray();
}

} // namespace

// The operator console's JSON API, and what the customer's client then sees of it.
class TestOperatorApi : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void openingTwiceGivesTheSameTicket();
    void badVatRefused_data();
    void badVatRefused();
    void listShowsTicketsWithState();
    void closingEndsTheChatForTheClient();
    void textRequests_data();
    void textRequests();
    void pictureBecomesAnAttachmentMessage();
    void badPicturesRefused_data();
    void badPicturesRefused();
    void conversationFromAGivenMessage();
    void unknownTicketIs404_data();
    void unknownTicketIs404();

private:
    ServiceProcess m_service;
    std::unique_ptr<httplib::Client> m_client;
};

void TestOperatorApi::initTestCase() {
    QVERIFY(m_service.start());
    m_client = m_service.client();
}

void TestOperatorApi::cleanupTestCase() {
    QCOMPARE(m_service.stop(), 0);
}

void TestOperatorApi::openingTwiceGivesTheSameTicket() {
    const qint32 first = OperatorCalls::openTicket(*m_client, QStringLiteral("30000000001"));
    QVERIFY(first > 0);
    QCOMPARE(OperatorCalls::openTicket(*m_client, QStringLiteral(" 30000000001 ")), first);
    QVERIFY(OperatorCalls::closeTicket(*m_client, first));
    const qint32 second = OperatorCalls::openTicket(*m_client, QStringLiteral("30000000001"));
    QVERIFY(second > first);
    QCOMPARE(
        ChatWire::getTicket(*m_client, QStringLiteral("30000000001")).field(QStringLiteral("id")),
        QString::number(second));
}

void TestOperatorApi::badVatRefused_data() {
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("empty VAT") << QByteArray(R"({"vat":""})");
    QTest::newRow("VAT with markup") << QByteArray(R"({"vat":"<b>1</b>"})");
    QTest::newRow("VAT too long") << QByteArray(R"({"vat":")") + QByteArray(33, '1') + "\"}";
    QTest::newRow("VAT not a string") << QByteArray(R"({"vat":12345})");
    QTest::newRow("not JSON") << QByteArray("vat=123");
}

void TestOperatorApi::badVatRefused() {
    QFETCH(QByteArray, body);

    const qsizetype before =
        OperatorCalls::get(*m_client, "/api/tickets").json.value("tickets").toArray().size();
    const Reply reply = OperatorCalls::post(*m_client, "/api/tickets", body);
    QCOMPARE(reply.httpStatus, 400);
    QVERIFY(!reply.json.value("error").toString().isEmpty());
    QCOMPARE(OperatorCalls::get(*m_client, "/api/tickets").json.value("tickets").toArray().size(),
             before);
}

void TestOperatorApi::listShowsTicketsWithState() {
    const qint32 open = OperatorCalls::openTicket(*m_client, QStringLiteral("30000000002"));
    const qint32 closed = OperatorCalls::openTicket(*m_client, QStringLiteral("30000000003"));
    QVERIFY(OperatorCalls::closeTicket(*m_client, closed));

    const QJsonArray tickets =
        OperatorCalls::get(*m_client, "/api/tickets").json.value("tickets").toArray();
    QJsonObject openSeen, closedSeen;
    for (const QJsonValue &ticket : tickets) {
        if (ticket["id"].toInt() == open)
            openSeen = ticket.toObject();
        if (ticket["id"].toInt() == closed)
            closedSeen = ticket.toObject();
    }
    QCOMPARE(openSeen.value("vat").toString(), QStringLiteral("30000000002"));
    QCOMPARE(openSeen.value("open").toBool(), true);
    QCOMPARE(closedSeen.value("vat").toString(), QStringLiteral("30000000003"));
    QCOMPARE(closedSeen.value("open").toBool(), false);
}

void TestOperatorApi::closingEndsTheChatForTheClient() {
    const QString vat = QStringLiteral("30000000004");
    const qint32 ticketId = OperatorCalls::openTicket(*m_client, vat);
    QVERIFY(OperatorCalls::closeTicket(*m_client, ticketId));

    QCOMPARE(ChatWire::getTicket(*m_client, vat).field(QStringLiteral("status")),
             QStringLiteral("KO"));
    QCOMPARE(ChatWire::getChat(*m_client, ticketId, 0, 0, vat).field(QStringLiteral("status")),
             QStringLiteral("noticket"));
    const Reply text = OperatorCalls::post(*m_client, ticketPath(ticketId, "/messages"),
                                           R"({"testo":"troppo tardi"})");
    QCOMPARE(text.httpStatus, 409);
    const QJsonObject ticket =
        OperatorCalls::conversation(*m_client, ticketId).json.value("ticket").toObject();
    QCOMPARE(ticket.value("open").toBool(), false);
}

void TestOperatorApi::textRequests_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<QString>("expectedTesto"); // of the stored message, when stored

    QTest::newRow("one line") << QByteArray(R"({"testo":"Buongiorno"})") << 200 << "Buongiorno";
    QTest::newRow("line breaks -> <br>")
        << QByteArray(R"({"testo":"Riga 1\nRiga 2"})") << 200 << "Riga 1<br>Riga 2";
    QTest::newRow("remote assistance command")
        << QByteArray(R"({"testo":"[CMD]supremo"})") << 200 << "[CMD]supremo";
    QTest::newRow("only blanks") << QByteArray(R"({"testo":"  \n "})") << 400 << QString();
    QTest::newRow("missing testo") << QByteArray(R"({"text":"ciao"})") << 400 << QString();
    QTest::newRow("not JSON") << QByteArray("testo=ciao") << 400 << QString();
}

void TestOperatorApi::textRequests() {
    QFETCH(QByteArray, body);
    QFETCH(int, expectedStatus);
    QFETCH(QString, expectedTesto);

    const QString vat = QStringLiteral("31") + QByteArray(QTest::currentDataTag()).toHex().left(9);
    const qint32 ticketId = OperatorCalls::openTicket(*m_client, vat);
    const Reply reply = OperatorCalls::post(*m_client, ticketPath(ticketId, "/messages"), body);
    QCOMPARE(reply.httpStatus, expectedStatus);

    const QJsonArray messages = messagesOf(*m_client, ticketId);
    QCOMPARE(messages.size(), expectedTesto.isEmpty() ? 0 : 1);
    if (expectedTesto.isEmpty())
        return;
    QCOMPARE(messages[0]["id"].toInt(), reply.json.value("id").toInt());
    QCOMPARE(messages[0]["testo"].toString(), expectedTesto);
    QCOMPARE(messages[0]["idoperatore"].toInt(), 7);
    QCOMPARE(messages[0]["attach"].toInt(), 0);
    const auto delivered = ChatWire::getChat(*m_client, ticketId, 0, 0, vat);
    QCOMPARE(delivered.field(QStringLiteral("testo")), expectedTesto);
}

void TestOperatorApi::pictureBecomesAnAttachmentMessage() {
    const QString vat = QStringLiteral("30000000005");
    const qint32 ticketId = OperatorCalls::openTicket(*m_client, vat);
    const QByteArray picture("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR", 16);

    const Reply first =
        OperatorCalls::post(*m_client, ticketPath(ticketId, "/pictures?name=Schermata%20uno.PNG"),
                            picture, "image/png");
    QCOMPARE(first.httpStatus, 200);
    const Reply second =
        OperatorCalls::post(*m_client, ticketPath(ticketId, "/pictures?name=Schermata%20uno.PNG"),
                            picture, "image/png");
    const QString name = first.json.value("name").toString();
    QVERIFY2(name.endsWith(QLatin1String(".png")) && !name.contains(u' '), qPrintable(name));
    // The client never downloads a name twice, so the same upload must get a new name.
    QVERIFY(second.json.value("name").toString() != name);

    const auto delivered = ChatWire::getChat(*m_client, ticketId, 0, 0, vat);
    QCOMPARE(delivered.field(QStringLiteral("attach")), QStringLiteral("1"));
    QCOMPARE(delivered.field(QStringLiteral("idoperatore")), QStringLiteral("7"));
    QCOMPARE(delivered.field(QStringLiteral("testo")), name);
    const auto fetched = m_client->Get(ChatWire::kDownloadPath + name.toStdString());
    QCOMPARE(fetched->status, 200);
    QVERIFY(QByteArray::fromStdString(fetched->body) == picture);
}

void TestOperatorApi::badPicturesRefused_data() {
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closeFirst");
    QTest::addColumn<int>("expectedStatus");

    QTest::newRow("not a picture name")
        << QByteArray("?name=virus.exe") << QByteArray("MZ") << false << 400;
    QTest::newRow("no name") << QByteArray() << QByteArray("x") << false << 400;
    QTest::newRow("no bytes") << QByteArray("?name=a.jpg") << QByteArray() << false << 400;
    QTest::newRow("ticket closed") << QByteArray("?name=a.jpg") << QByteArray("x") << true << 409;
}

void TestOperatorApi::badPicturesRefused() {
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closeFirst);
    QFETCH(int, expectedStatus);

    const QString vat = QStringLiteral("32") + QByteArray(QTest::currentDataTag()).toHex().left(9);
    const qint32 ticketId = OperatorCalls::openTicket(*m_client, vat);
    if (closeFirst)
        QVERIFY(OperatorCalls::closeTicket(*m_client, ticketId));
    const Reply reply = OperatorCalls::post(
        *m_client, ticketPath(ticketId, "/pictures") + query.toStdString(), bytes, "image/jpeg");
    QCOMPARE(reply.httpStatus, expectedStatus);
    QCOMPARE(messagesOf(*m_client, ticketId).size(), 0);
}

void TestOperatorApi::conversationFromAGivenMessage() {
    const qint32 ticketId = OperatorCalls::openTicket(*m_client, QStringLiteral("30000000006"));
    const qint32 first = OperatorCalls::sendText(*m_client, ticketId, QStringLiteral("uno"));
    OperatorCalls::sendText(*m_client, ticketId, QStringLiteral("due"));

    const QJsonArray newer =
        OperatorCalls::get(*m_client,
                           ticketPath(ticketId, "/messages?after=") + std::to_string(first))
            .json.value("messages")
            .toArray();
    QCOMPARE(newer.size(), 1);
    QCOMPARE(newer[0]["testo"].toString(), QStringLiteral("due"));
}

void TestOperatorApi::unknownTicketIs404_data() {
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("conversation") << QByteArray("GET")
                                  << QByteArray("/api/tickets/999999/messages");
    QTest::newRow("close") << QByteArray("POST") << QByteArray("/api/tickets/999999/close");
    QTest::newRow("id beyond 32 bits")
        << QByteArray("GET") << QByteArray("/api/tickets/99999999999999999999/messages");
}

void TestOperatorApi::unknownTicketIs404() {
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);

    const Reply reply = method == "GET"
                            ? OperatorCalls::get(*m_client, path.toStdString())
                            : OperatorCalls::post(*m_client, path.toStdString(), QByteArray());
    QCOMPARE(reply.httpStatus, 404);
}

QTEST_GUILESS_MAIN(TestOperatorApi)
#include "tst_operatorapi.moc"
