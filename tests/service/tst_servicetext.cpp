#include "app/AppState.h"
#include "service/Base64.h"
#include "service/Envelopes.h"
#include "service/FileUpload.h"
#include "service/ResponseReader.h"
#include "service/ResponseText.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString envelope(const QString &operation, const QString &parameters) {
    return "<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
           "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
           "xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
           "<soapenv:Header/><soapenv:Body><chat:" +
           operation + " soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>" +
           parameters + "</chat:" + operation + "></soapenv:Body></soapenv:Envelope>";
}

QString chatAnswer(const QString &fields) {
    return "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/' "
           "xmlns:ns1='urn:chat'><SOAP-ENV:Body><ns1:getchatResponse>" +
           fields + "</ns1:getchatResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

} // namespace

// The texts the client puts on the wire and how it reads the service's answers.
class TestServiceText : public QObject {
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void xmlValue_data();
    void xmlValue();
};

void TestServiceText::text_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString aaa = QStringLiteral("YWFh"); // runs of "a" give the same group throughout

    QTest::newRow("Base64 of 55 bytes: the rest on a new line")
        << Base64().Encode(QString(55, u'a')) << aaa.repeated(18) + "\r\nYQ==";
    QTest::newRow("Base64 of Windows-1252 bytes, high bits set")
        << Base64().Encode(QStringLiteral("€ÿÿ")) << "gP//";
    QTest::newRow("Base64: outside the code page and beyond 16 bits, one ? each")
        << Base64().Encode(QString::fromUcs4(U"Ω\u0080\U0001F600")) << "Pz8/";
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
    QTest::newRow("setchat text") << BuildSetChat(QStringLiteral("perché"), 15, false)
                                  << envelope("setchat",
                                              "<idticket xsi:type='xsd:integer'>15</idticket>"
                                              "<testo xsi:type='xsd:string'>cGVyY2jp</testo>"
                                              "<attach xsi:type='xsd:string'>0</attach>");
    QTest::newRow("setchat attachment name, its full line ends inside testo")
        << BuildSetChat(QString(54, u'x'), 3, true)
        << envelope("setchat", "<idticket xsi:type='xsd:integer'>3</idticket><testo "
                               "xsi:type='xsd:string'>" +
                                   QStringLiteral("eHh4").repeated(18) +
                                   "\r\n</testo><attach xsi:type='xsd:string'>1</attach>");
    QTest::newRow("form encoding: letters and digits pass, a space becomes +, the rest %XX")
        << UrlEncode("Az09 +%?/=\r\n-._~") << "Az09+%2B%25%3F%2F%3D%0D%0A%2D%2E%5F%7E";
    QTest::newRow("form encoding: controls 1 and 2 as % and +, others with a leading zero")
        << UrlEncode(QString::fromLatin1("\x01\x02\0\x0f", 4)) << "%25%2B%00%0F";
    QTest::newRow("form encoding: Windows-1252 codes, other characters unchanged")
        << UrlEncode(QString::fromUcs4(U"è€Ω\U0001F600"))
        << QString::fromUcs4(U"%E8%80Ω\U0001F600");
    QTest::newRow("folder | name, split at the last separator of either kind")
        << SplitPath("C:\\App/x\\a.jpg").second + "|" + SplitPath("C:\\App/x\\a.jpg").first
        << "C:\\App/x\\|a.jpg";
    QTest::newRow("answer in an unknown charset read as UTF-8")
        << ResponseText("text/xml; charset=x-none", "perch\xc3\xa9") << QStringLiteral("perché");
}

void TestServiceText::text() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestServiceText::xmlValue_data() {
    QTest::addColumn<QString>("response");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("logged");

    QTest::newRow("the first at exactly that path, in document order")
        << chatAnswer("<x><status>deep</status></x><status>OK</status></ns1:getchatResponse>"
                      "<ns1:getchatResponse><status>no</status>")
        << "OK" << false;
    QTest::newRow("prefix compared as written")
        << chatAnswer("<status>OK</status>").replace("SOAP-ENV", "soap") << "" << false;
    QTest::newRow("entities resolved, CDATA and spaces kept")
        << chatAnswer("<status>&amp;&lt;&#233;&#x20AC;<![CDATA[ ]]><![CDATA[<b>]]></status>")
        << QStringLiteral("&<é€ <b>") << false;
    QTest::newRow("element with children gives all their text")
        << chatAnswer("<status>O<b>K</b>\n</status>") << "OK" << false;
    QTest::newRow("empty response, nothing logged") << QString() << QString() << false;
    QTest::newRow("HTML error page logged") << "<html><body><br></html>" << QString() << true;
    QTest::newRow("fault after the value logged")
        << chatAnswer("<status>OK</status><id>1</di>") << "" << true;
}

void TestServiceText::xmlValue() {
    QFETCH(QString, response);
    QFETCH(QString, expected);
    QFETCH(bool, logged);
    QTemporaryDir folder;
    AppState::instance().ApplicationFolder = folder.path();
    AppState::instance().Log = true;

    QCOMPARE(GetXmlValue(response, "/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getchatResponse/status"),
             expected);

    QFile log(folder.filePath("Log.txt"));
    QCOMPARE(log.open(QIODevice::ReadOnly | QIODevice::Text), logged);
    if (logged) { // the reason, then the whole response
        const QStringList lines =
            QString::fromLatin1(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].endsWith("- XML: " + response), qPrintable(lines[1]));
    }
}

QTEST_GUILESS_MAIN(TestServiceText)
#include "tst_servicetext.moc"
