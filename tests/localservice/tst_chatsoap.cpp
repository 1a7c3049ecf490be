#include "ChatWire.h"
#include "OperatorCalls.h"
#include "ServiceProcess.h"
#include "app/Windows1252.h"
#include "service/Base64.h"

#include <QDateTime>
#include <QJsonArray>
#include <QTest>

using namespace ChatWire;

namespace {

constexpr auto kStatus = "status";

QString status(const Answer &answer) {
    return answer.field(QLatin1String(kStatus));
}

} // namespace

// The four chat operations on the wire, against the real service process.
class TestChatSoap : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void getTicket_data();
    void getTicket();
    void getChatDeliversOneMessageAfterLetto();
    void readMarkShowsOnTheNextDelivery();
    void getChatWithoutMessage_data();
    void getChatWithoutMessage();
    void setChatStoresCustomerText_data();
    void setChatStoresCustomerText();
    void setChatRefused_data();
    void setChatRefused();
    void operatorTextOnTheWire_data();
    void operatorTextOnTheWire();
    void typingFlagRecorded_data();
    void typingFlagRecorded();
    void badRequestsGetFault_data();
    void badRequestsGetFault();

private:
    // A ticket for a VAT number no other test uses.
    qint32 freshTicket(QString *vatNumber = nullptr);

    ServiceProcess m_service;
    std::unique_ptr<httplib::Client> m_client;
    int m_vatCounter = 0;
};

void TestChatSoap::initTestCase() {
    QVERIFY(m_service.start({QStringLiteral("--memory"), QStringLiteral("--open-ticket"),
                             QStringLiteral("11111111111")}));
    m_client = m_service.client();
}

void TestChatSoap::cleanupTestCase() {
    QCOMPARE(m_service.stop(), 0);
}

qint32 TestChatSoap::freshTicket(QString *vatNumber) {
    const QString vat = QStringLiteral("2%1").arg(++m_vatCounter, 10, 10, QLatin1Char('0'));
    if (vatNumber)
        *vatNumber = vat;
    return OperatorCalls::openTicket(*m_client, vat);
}

void TestChatSoap::getTicket_data() {
    QTest::addColumn<QString>("vatNumber");
    QTest::addColumn<bool>("closeFirst");
    QTest::addColumn<QString>("expectedStatus");
    QTest::addColumn<bool>("expectId");

    QTest::newRow("open ticket -> OK with its id") << QString() << false << "OK" << true;
    QTest::newRow("VAT never seen -> not OK") << "99999999999" << false << "KO" << false;
    QTest::newRow("ticket closed -> not OK") << QString() << true << "KO" << false;
    QTest::newRow("VAT with trailing text -> not OK") << "11111111111x" << false << "KO" << false;
}

void TestChatSoap::getTicket() {
    QFETCH(QString, vatNumber);
    QFETCH(bool, closeFirst);
    QFETCH(QString, expectedStatus);
    QFETCH(bool, expectId);

    qint32 ticketId = 0;
    if (vatNumber.isEmpty())
        ticketId = freshTicket(&vatNumber);
    if (closeFirst)
        QVERIFY(OperatorCalls::closeTicket(*m_client, ticketId));

    const Answer answer = ChatWire::getTicket(*m_client, vatNumber);
    QCOMPARE(answer.httpStatus, 200);
    QCOMPARE(status(answer), expectedStatus);
    QCOMPARE(answer.field(QStringLiteral("id")), expectId ? QString::number(ticketId) : QString());
}

void TestChatSoap::getChatDeliversOneMessageAfterLetto() {
    QString vat;
    const qint32 ticketId = freshTicket(&vat);
    QList<qint32> ids;
    for (const char *text : {"primo", "secondo", "terzo"})
        ids.append(OperatorCalls::sendText(*m_client, ticketId, QLatin1String(text)));
    QVERIFY(ids.first() > 0 && ids[0] < ids[1] && ids[1] < ids[2]);

    qint32 letto = 0;
    for (const char *expected : {"primo", "secondo", "terzo"}) {
        const Answer answer = ChatWire::getChat(*m_client, ticketId, letto, 0, vat);
        QCOMPARE(status(answer), QStringLiteral("OK"));
        QCOMPARE(answer.field(QStringLiteral("testo")), QLatin1String(expected));
        QCOMPARE(answer.field(QStringLiteral("idoperatore")), QStringLiteral("7"));
        QCOMPARE(answer.field(QStringLiteral("attach")), QStringLiteral("0"));
        const QDateTime data = QDateTime::fromString(answer.field(QStringLiteral("data")),
                                                     QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY2(data.isValid(), qPrintable(answer.field(QStringLiteral("data"))));
        letto = answer.field(QStringLiteral("id")).toInt();
    }
    QCOMPARE(letto, ids.last());
    QCOMPARE(status(ChatWire::getChat(*m_client, ticketId, letto, 0, vat)),
             QStringLiteral("nomsg"));
    // Asking from an older id delivers the older message again, as after a client restart.
    const Answer replay = ChatWire::getChat(*m_client, ticketId, ids[0], 0, vat);
    QCOMPARE(replay.field(QStringLiteral("id")), QString::number(ids[1]));
}

void TestChatSoap::readMarkShowsOnTheNextDelivery() {
    QString vat;
    const qint32 ticketId = freshTicket(&vat);
    const qint32 messageId = OperatorCalls::sendText(*m_client, ticketId, QStringLiteral("ciao"));

    QCOMPARE(ChatWire::getChat(*m_client, ticketId, 0, 0, vat).field(QStringLiteral("letto")),
             QStringLiteral("0"));
    const Answer marked = ChatWire::setReadChat(*m_client, messageId);
    QCOMPARE(marked.httpStatus, 200);
    QCOMPARE(status(marked), QStringLiteral("OK"));
    QCOMPARE(ChatWire::getChat(*m_client, ticketId, 0, 0, vat).field(QStringLiteral("letto")),
             QStringLiteral("1"));
    QCOMPARE(status(ChatWire::setReadChat(*m_client, messageId + 1000)), QStringLiteral("KO"));
}

void TestChatSoap::getChatWithoutMessage_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("expectedStatus");

    QTest::newRow("open ticket, nothing new -> nomsg") << "empty"
                                                       << "nomsg";
    QTest::newRow("ticket closed by the operator -> noticket") << "closed"
                                                               << "noticket";
    QTest::newRow("ticket never opened -> noticket") << "unknown"
                                                     << "noticket";
    QTest::newRow("ticket of another VAT -> noticket") << "other VAT"
                                                       << "noticket";
}

void TestChatSoap::getChatWithoutMessage() {
    QFETCH(QString, situation);
    QFETCH(QString, expectedStatus);

    QString vat;
    qint32 ticketId = freshTicket(&vat);
    if (situation != QLatin1String("empty"))
        OperatorCalls::sendText(*m_client, ticketId, QStringLiteral("non consegnato"));
    if (situation == QLatin1String("closed"))
        QVERIFY(OperatorCalls::closeTicket(*m_client, ticketId));
    if (situation == QLatin1String("unknown"))
        ticketId += 100000;
    if (situation == QLatin1String("other VAT"))
        vat = QStringLiteral("11111111111");

    const Answer answer = ChatWire::getChat(*m_client, ticketId, 0, 0, vat);
    QCOMPARE(answer.httpStatus, 200);
    QCOMPARE(status(answer), expectedStatus);
    QCOMPARE(answer.field(QStringLiteral("testo")), QString());
}

void TestChatSoap::setChatStoresCustomerText_data() {
    QTest::addColumn<QByteArray>("windows1252");
    QTest::addColumn<bool>("attach");
    QTest::addColumn<QString>("expectedTesto");

    QTest::newRow("plain word") << QByteArray("ciao") << false << "ciao";
    QTest::newRow("accents and euro sign") << QByteArray("citt\xE0 perch\xE9 \x80 5") << false
                                           << QString::fromUtf8("città perché € 5");
    QTest::newRow("CR LF lines -> <br>")
        << QByteArray("riga uno\r\nriga due\r\n") << false << "riga uno<br>riga due<br>";
    QTest::newRow("long text spans Base64 lines")
        << QByteArray(120, 'a') + "\xF9" << false << QString(120, u'a') + QChar(0xF9);
    QTest::newRow("markup kept as typed")
        << QByteArray("a < b && c > d") << false << "a < b && c > d";
    QTest::newRow("picture name with attach")
        << QByteArray("15_20261206151500.jpg") << true << "15_20261206151500.jpg";
}

void TestChatSoap::setChatStoresCustomerText() {
    QFETCH(QByteArray, windows1252);
    QFETCH(bool, attach);
    QFETCH(QString, expectedTesto);

    QString vat;
    const qint32 ticketId = freshTicket(&vat);
    const Answer sent =
        ChatWire::setChat(*m_client, ticketId, Windows1252::decode(windows1252), attach);
    QCOMPARE(sent.httpStatus, 200);
    QCOMPARE(status(sent), QStringLiteral("OK"));

    const Answer echoed = ChatWire::getChat(*m_client, ticketId, 0, 1, vat);
    QCOMPARE(status(echoed), QStringLiteral("OK"));
    QCOMPARE(echoed.field(QStringLiteral("testo")), expectedTesto);
    QCOMPARE(echoed.field(QStringLiteral("idoperatore")), QStringLiteral("0"));
    QCOMPARE(echoed.field(QStringLiteral("attach")), attach ? QStringLiteral("1") : "0");
}

void TestChatSoap::setChatRefused_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("testo"); // as it travels
    QTest::addColumn<QString>("attach");

    const Base64 base64;
    const QString ciao = base64.Encode(QStringLiteral("ciao"));
    QTest::newRow("ticket closed") << "closed" << ciao << "0";
    QTest::newRow("ticket never opened") << "unknown" << ciao << "0";
    QTest::newRow("testo not Base64") << "open"
                                      << "ciao!"
                                      << "0";
    QTest::newRow("testo Base64 of nothing") << "open" << QString() << "0";
    QTest::newRow("attachment name with a path")
        << "open" << base64.Encode(QStringLiteral("..\\..\\win.ini")) << "1";
    QTest::newRow("attachment name with a slash")
        << "open" << base64.Encode(QStringLiteral("a/b.jpg")) << "1";
}

void TestChatSoap::setChatRefused() {
    QFETCH(QString, situation);
    QFETCH(QString, testo);
    QFETCH(QString, attach);

    QString vat;
    qint32 ticketId = freshTicket(&vat);
    if (situation == QLatin1String("closed"))
        QVERIFY(OperatorCalls::closeTicket(*m_client, ticketId));
    const qint32 sentTo = situation == QLatin1String("unknown") ? ticketId + 100000 : ticketId;

    const QString operation = QStringLiteral("setchat");
    const Answer answer =
        post(*m_client, kTrePath, operation,
             envelope(operation, {{QStringLiteral("idticket"), QString::number(sentTo)},
                                  {QStringLiteral("testo"), testo},
                                  {QStringLiteral("attach"), attach}}));
    QCOMPARE(answer.httpStatus, 200);
    QCOMPARE(status(answer), QStringLiteral("KO"));
    const auto stored = OperatorCalls::conversation(*m_client, ticketId).json;
    QCOMPARE(stored.value(QStringLiteral("messages")).toArray().size(), 0);
}

void TestChatSoap::operatorTextOnTheWire_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expectedTesto");
    QTest::addColumn<QByteArray>("expectedOnWire");

    QTest::newRow("markup escaped on the wire")
        << "1 < 2 & 3 > 2"
        << "1 < 2 & 3 > 2" << QByteArray("<testo>1 &lt; 2 &amp; 3 &gt; 2</testo>");
    QTest::newRow("line breaks -> <br>")
        << "uno\ndue\r\ntre"
        << "uno<br>due<br>tre" << QByteArray("<testo>uno&lt;br&gt;due&lt;br&gt;tre");
    QTest::newRow("control characters dropped") << QString::fromUtf8("a\x01"
                                                                     "b\x1B"
                                                                     "c")
                                                << "abc" << QByteArray("<testo>abc</testo>");
    QTest::newRow("remote assistance command as is")
        << "[CMD]supremo"
        << "[CMD]supremo" << QByteArray("<testo>[CMD]supremo</testo>");
}

void TestChatSoap::operatorTextOnTheWire() {
    QFETCH(QString, typed);
    QFETCH(QString, expectedTesto);
    QFETCH(QByteArray, expectedOnWire);

    QString vat;
    const qint32 ticketId = freshTicket(&vat);
    QVERIFY(OperatorCalls::sendText(*m_client, ticketId, typed) > 0);

    const Answer answer = ChatWire::getChat(*m_client, ticketId, 0, 0, vat);
    QCOMPARE(answer.field(QStringLiteral("testo")), expectedTesto);
    QVERIFY2(answer.body.contains(expectedOnWire), answer.body.constData());
}

void TestChatSoap::typingFlagRecorded_data() {
    QTest::addColumn<QList<int>>("flagsSent");
    QTest::addColumn<bool>("expectedTyping");

    QTest::newRow("typing") << QList<int>{1} << true;
    QTest::newRow("not typing") << QList<int>{0} << false;
    QTest::newRow("stopped typing") << QList<int>{1, 0} << false;
    QTest::newRow("started typing again") << QList<int>{1, 0, 1} << true;
    QTest::newRow("flag other than 1 -> not typing") << QList<int>{2} << false;
}

void TestChatSoap::typingFlagRecorded() {
    QFETCH(QList<int>, flagsSent);
    QFETCH(bool, expectedTyping);

    QString vat;
    const qint32 ticketId = freshTicket(&vat);
    QCOMPARE(OperatorCalls::conversation(*m_client, ticketId).json.value("typing").toBool(), false);
    for (const int flag : flagsSent)
        QCOMPARE(status(ChatWire::getChat(*m_client, ticketId, 0, flag, vat)),
                 QStringLiteral("nomsg"));
    QCOMPARE(OperatorCalls::conversation(*m_client, ticketId).json.value("typing").toBool(),
             expectedTyping);
}

void TestChatSoap::badRequestsGetFault_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("path");

    const QString due = QLatin1String(kDuePath);
    const QString tre = QLatin1String(kTrePath);
    const auto getticket = [](const QString &vat) {
        return envelope(QStringLiteral("getticket"), {{QStringLiteral("partitaiva"), vat}});
    };
    QTest::newRow("not XML") << QByteArray("ciao") << due;
    QTest::newRow("empty body") << QByteArray() << due;
    QTest::newRow("truncated envelope") << getticket("11111111111").chopped(20) << due;
    QTest::newRow("undeclared prefix")
        << QByteArray("<soapenv:Envelope><soapenv:Body><chat:getticket/></soapenv:Body>"
                      "</soapenv:Envelope>")
        << due;
    QTest::newRow("entity expansion in a DTD")
        << QByteArray("<?xml version='1.0'?><!DOCTYPE e [<!ENTITY a 'aaaaaaaaaa'>"
                      "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>]>"
                      "<soapenv:Envelope xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/'>"
                      "<soapenv:Body><getticket><partitaiva>&b;</partitaiva></getticket>"
                      "</soapenv:Body></soapenv:Envelope>")
        << due;
    QTest::newRow("root is not a SOAP envelope")
        << QByteArray("<Envelope><Body><getticket/></Body></Envelope>") << due;
    QTest::newRow("empty Body")
        << QByteArray("<e:Envelope xmlns:e='http://schemas.xmlsoap.org/soap/envelope/'><e:Body/>"
                      "</e:Envelope>")
        << due;
    QTest::newRow("getticket sent to ws_chat_tre") << getticket("11111111111") << tre;
    QTest::newRow("unknown operation")
        << envelope(QStringLiteral("deleteall"), {{QStringLiteral("id"), QStringLiteral("1")}})
        << tre;
    QTest::newRow("getticket without partitaiva")
        << envelope(QStringLiteral("getticket"), {}) << due;
    QTest::newRow("getchat id not a number")
        << envelope(QStringLiteral("getchat"),
                    {{QStringLiteral("id"), QStringLiteral("uno")},
                     {QStringLiteral("letto"), QStringLiteral("0")},
                     {QStringLiteral("stascrivendo"), QStringLiteral("0")},
                     {QStringLiteral("partitaiva"), QStringLiteral("1")}})
        << tre;
    QTest::newRow("element nested in a parameter")
        << QByteArray("<e:Envelope xmlns:e='http://schemas.xmlsoap.org/soap/envelope/'><e:Body>"
                      "<setreadchat><id><x>1</x></id></setreadchat></e:Body></e:Envelope>")
        << due;
}

void TestChatSoap::badRequestsGetFault() {
    QFETCH(QByteArray, body);
    QFETCH(QString, path);

    const Answer answer = post(*m_client, qPrintable(path), QString(), body);
    QCOMPARE(answer.httpStatus, 500);
    QCOMPARE(answer.faultCode(), QStringLiteral("SOAP-ENV:Client"));
    // Still serving.
    QCOMPARE(status(ChatWire::getTicket(*m_client, QStringLiteral("11111111111"))),
             QStringLiteral("OK"));
}

QTEST_GUILESS_MAIN(TestChatSoap)
#include "tst_chatsoap.moc"
