#include "app/AppState.h"
#include "service/ResponseReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kTicketAnswer = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:ns1=\"urn:chat\">\n"
    "  <SOAP-ENV:Body>\n"
    "    <ns1:getticketResponse>\n"
    "      <status>OK</status>\n"
    "      <id>42</id>\n"
    "    </ns1:getticketResponse>\n"
    "  </SOAP-ENV:Body>\n"
    "</SOAP-ENV:Envelope>\n");

QString chatAnswer(const QString &fields) {
    return "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/' "
           "xmlns:ns1='urn:chat'><SOAP-ENV:Body><ns1:getchatResponse>" +
           fields + "</ns1:getchatResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

const QString kChatPath = QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getchatResponse/");
const QString kTicketPath =
    QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getticketResponse/");

} // namespace

class TestResponseReader : public QObject {
    Q_OBJECT
private slots:
    void init();
    void value_data();
    void value();
    void unreadableResponse_data();
    void unreadableResponse();

private:
    QString logText() const;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestResponseReader::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    AppState::instance().ApplicationFolder = m_folder->path();
    AppState::instance().Log = true;
}

QString TestResponseReader::logText() const {
    QFile log(m_folder->filePath("Log.txt"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(log.readAll());
}

void TestResponseReader::value_data() {
    QTest::addColumn<QString>("response");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ticket id") << kTicketAnswer << kTicketPath + "id"
                               << "42";
    QTest::newRow("ticket status") << kTicketAnswer << kTicketPath + "status"
                                   << "OK";
    QTest::newRow("missing field") << kTicketAnswer << kTicketPath + "testo"
                                   << "";
    QTest::newRow("other operation's answer") << kTicketAnswer << kChatPath + "status"
                                              << "";
    QTest::newRow("duplicate status gives the first")
        << chatAnswer("<status>OK</status><status>noticket</status>") << kChatPath + "status"
        << "OK";
    QTest::newRow("first match in document order across parents")
        << chatAnswer("<id>1</id></ns1:getchatResponse><ns1:getchatResponse><id>2</id>")
        << kChatPath + "id"
        << "1";
    QTest::newRow("envelope bound to another prefix gives nothing")
        << "<soap:Envelope xmlns:soap='http://schemas.xmlsoap.org/soap/envelope/' "
           "xmlns:ns1='urn:chat'><soap:Body><ns1:getchatResponse><status>OK</status>"
           "</ns1:getchatResponse></soap:Body></soap:Envelope>"
        << kChatPath + "status"
        << "";
    QTest::newRow("SOAP-ENV bound to another namespace still matches by name")
        << "<SOAP-ENV:Envelope xmlns:SOAP-ENV='urn:other' xmlns:ns1='urn:x'><SOAP-ENV:Body>"
           "<ns1:getchatResponse><status>OK</status></ns1:getchatResponse></SOAP-ENV:Body>"
           "</SOAP-ENV:Envelope>"
        << kChatPath + "status"
        << "OK";
    QTest::newRow("names are case-sensitive")
        << chatAnswer("<status>OK</status>") << kChatPath + "Status"
        << "";
    QTest::newRow("ampersand entity resolved")
        << chatAnswer("<testo>a &amp; b</testo>") << kChatPath + "testo"
        << "a & b";
    QTest::newRow("markup entities resolved")
        << chatAnswer("<testo>&lt;br&gt;&quot;&apos;</testo>") << kChatPath + "testo"
        << "<br>\"'";
    QTest::newRow("character references resolved")
        << chatAnswer("<testo>perch&#233; &#x20AC;</testo>") << kChatPath + "testo"
        << QStringLiteral("perché €");
    QTest::newRow("declared encoding of already decoded text")
        << "<?xml version='1.0' encoding='ISO-8859-1'?>" +
               chatAnswer(QStringLiteral("<testo>è€</testo>"))
        << kChatPath + "testo" << QStringLiteral("è€");
    QTest::newRow("CDATA kept as written")
        << chatAnswer("<testo><![CDATA[<b>x</b> & y]]></testo>") << kChatPath + "testo"
        << "<b>x</b> & y";
    QTest::newRow("empty element gives empty text")
        << chatAnswer("<testo></testo>") << kChatPath + "testo"
        << "";
    QTest::newRow("self-closed element gives empty text")
        << chatAnswer("<testo/>") << kChatPath + "testo"
        << "";
    QTest::newRow("inner spaces kept") << chatAnswer("<testo>a  b</testo>") << kChatPath + "testo"
                                       << "a  b";
    QTest::newRow("element with children gives all their text")
        << kTicketAnswer << "/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getticketResponse"
        << "OK42";
    QTest::newRow("same name deeper down is not selected")
        << chatAnswer("<x><status>deep</status></x><status>OK</status>") << kChatPath + "status"
        << "OK";
    QTest::newRow("relative path selects nothing")
        << chatAnswer("<status>OK</status>") << "SOAP-ENV:Envelope/SOAP-ENV:Body"
        << "";
    QTest::newRow("path with an empty step selects nothing")
        << chatAnswer("<status>OK</status>") << "/SOAP-ENV:Envelope//ns1:getchatResponse/status"
        << "";
    QTest::newRow("empty path selects nothing") << chatAnswer("<status>OK</status>") << ""
                                                << "";
}

void TestResponseReader::value() {
    QFETCH(QString, response);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(GetXmlValue(response, path), expected);
    QCOMPARE(logText(), QString());
}

void TestResponseReader::unreadableResponse_data() {
    QTest::addColumn<QString>("response");
    QTest::addColumn<bool>("logged");

    QTest::newRow("empty response is quiet") << QString() << false;
    QTest::newRow("HTML error page")
        << "<html><body><h1>500 Internal Server Error<br></h1>" << true;
    QTest::newRow("plain text") << "Service Unavailable" << true;
    QTest::newRow("undeclared prefix")
        << "<SOAP-ENV:Envelope><SOAP-ENV:Body><ns1:getchatResponse><status>OK</status>"
           "</ns1:getchatResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>"
        << true;
    QTest::newRow("truncated body") << chatAnswer("<status>OK</status>").left(120) << true;
    QTest::newRow("fault after the value") << chatAnswer("<status>OK</status><id>1</di>") << true;
    QTest::newRow("undeclared entity") << chatAnswer("<status>&nbsp;OK</status>") << true;
    QTest::newRow("white space only") << "   " << true;
}

void TestResponseReader::unreadableResponse() {
    QFETCH(QString, response);
    QFETCH(bool, logged);
    QCOMPARE(GetXmlValue(response, kChatPath + "status"), QString());

    const QStringList lines = logText().split(u'\n', Qt::SkipEmptyParts);
    if (!logged) {
        QVERIFY(lines.isEmpty());
        return;
    }
    QCOMPARE(lines.size(), 2);
    QString entry = lines[1];
    if (entry.endsWith(u'\r'))
        entry.chop(1);
    QVERIFY2(entry.endsWith("- XML: " + response), qPrintable(entry));
    QVERIFY2(!lines[0].contains("XML: "), qPrintable(lines[0]));
}

QTEST_GUILESS_MAIN(TestResponseReader)
#include "tst_responsereader.moc"
