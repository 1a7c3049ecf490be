#include "service/Envelopes.h"

#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString kStart =
    QStringLiteral("<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                   "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
                   "xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
                   "<soapenv:Header/><soapenv:Body>");
const QString kEncoding =
    QStringLiteral(" soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>");
const QString kEnd = QStringLiteral("</soapenv:Body></soapenv:Envelope>");

QString wrapped(const QString &operation, const QString &parameters) {
    return kStart + "<chat:" + operation + kEncoding + parameters + "</chat:" + operation + ">" +
           kEnd;
}

} // namespace

class TestEnvelopes : public QObject {
    Q_OBJECT
private slots:
    void envelope_data();
    void envelope();
    void longMessageBreaksInsideTesto();
    void envelopeIsWellFormedXml_data();
    void envelopeIsWellFormedXml();
};

void TestEnvelopes::envelope_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    QTest::newRow("getticket for a VAT number")
        << BuildGetTicket("01234567890")
        << wrapped("getticket", "<partitaiva xsi:type='xsd:string'>01234567890</partitaiva>");
    QTest::newRow("getchat ticket 15 from the start while typing")
        << BuildGetChat(15, 0, 1, "01234567890")
        << wrapped("getchat", "<id xsi:type='xsd:integer'>15</id>"
                              "<letto xsi:type='xsd:integer'>0</letto>"
                              "<stascrivendo xsi:type='xsd:integer'>1</stascrivendo>"
                              "<partitaiva xsi:type='xsd:string'>01234567890</partitaiva>");
    QTest::newRow("getchat negative and extreme ids keep their sign")
        << BuildGetChat(-7, std::numeric_limits<qint32>::min(), 0, "IT1")
        << wrapped("getchat", "<id xsi:type='xsd:integer'>-7</id>"
                              "<letto xsi:type='xsd:integer'>-2147483648</letto>"
                              "<stascrivendo xsi:type='xsd:integer'>0</stascrivendo>"
                              "<partitaiva xsi:type='xsd:string'>IT1</partitaiva>");
    QTest::newRow("setreadchat message 2147483647")
        << BuildSetReadChat(2147483647)
        << wrapped("setreadchat", "<id xsi:type='xsd:integer'>2147483647</id>");
    QTest::newRow("setchat ciao as text")
        << BuildSetChat("ciao", 15, false)
        << wrapped("setchat", "<idticket xsi:type='xsd:integer'>15</idticket>"
                              "<testo xsi:type='xsd:string'>Y2lhbw==</testo>"
                              "<attach xsi:type='xsd:string'>0</attach>");
    QTest::newRow("setchat picture name as attachment")
        << BuildSetChat(QStringLiteral("perché"), 3, true)
        << wrapped("setchat", "<idticket xsi:type='xsd:integer'>3</idticket>"
                              "<testo xsi:type='xsd:string'>cGVyY2jp</testo>"
                              "<attach xsi:type='xsd:string'>1</attach>");
    QTest::newRow("markup in the VAT number is escaped")
        << BuildGetTicket("a&b<c>'d\"")
        << wrapped("getticket", "<partitaiva xsi:type='xsd:string'>"
                                "a&amp;b&lt;c&gt;&apos;d&quot;</partitaiva>");
    QTest::newRow("empty VAT number leaves an empty element")
        << BuildGetTicket(QString())
        << wrapped("getticket", "<partitaiva xsi:type='xsd:string'></partitaiva>");
}

void TestEnvelopes::envelope() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void TestEnvelopes::longMessageBreaksInsideTesto() {
    const QString line = QStringLiteral("eHh4").repeated(18);
    QCOMPARE(BuildSetChat(QString(54, u'x'), 1, false),
             wrapped("setchat", "<idticket xsi:type='xsd:integer'>1</idticket>"
                                "<testo xsi:type='xsd:string'>" +
                                    line +
                                    "\r\n</testo>"
                                    "<attach xsi:type='xsd:string'>0</attach>"));
}

void TestEnvelopes::envelopeIsWellFormedXml_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("vatNumber"); // what partitaiva must read back as, if present
    const QString awkward = QStringLiteral("<&'\"> ]]>");
    QTest::newRow("getticket with markup") << BuildGetTicket(awkward) << awkward;
    QTest::newRow("getchat with markup") << BuildGetChat(1, 2, 0, awkward) << awkward;
    QTest::newRow("setreadchat") << BuildSetReadChat(9) << QString();
    QTest::newRow("setchat with markup in the text") << BuildSetChat(awkward, 1, true) << QString();
}

void TestEnvelopes::envelopeIsWellFormedXml() {
    QFETCH(QString, built);
    QFETCH(QString, vatNumber);
    QXmlStreamReader reader(built);
    QString readBack;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == QLatin1String("partitaiva"))
            readBack = reader.readElementText();
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(readBack, vatNumber);
}

QTEST_APPLESS_MAIN(TestEnvelopes)
#include "tst_envelopes.moc"
