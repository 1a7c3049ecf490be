#include "ChatWire.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace {

constexpr int kBase64LineLength = 72;

QString typedElement(const QString &name, const char *type, const QString &value) {
    return QStringLiteral("<%1 xsi:type='xsd:%2'>%3</%1>").arg(name, QLatin1String(type), value);
}

QString textAtPath(const QByteArray &xml, const QStringList &wanted) {
    QXmlStreamReader reader(xml);
    QStringList path;
    QString found;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            path.append(reader.qualifiedName().toString());
            if (path == wanted && found.isEmpty())
                found = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            if (reader.isEndElement())
                path.removeLast();
        } else if (reader.isEndElement()) {
            path.removeLast();
        }
    }
    return reader.hasError() ? QString() : found;
}

} // namespace

namespace ChatWire {

QString Answer::field(const QString &name) const {
    return textAtPath(body,
                      {QStringLiteral("SOAP-ENV:Envelope"), QStringLiteral("SOAP-ENV:Body"),
                       QStringLiteral("ns1:") + operation + QStringLiteral("Response"), name});
}

QString Answer::faultCode() const {
    return textAtPath(body, {QStringLiteral("SOAP-ENV:Envelope"), QStringLiteral("SOAP-ENV:Body"),
                             QStringLiteral("SOAP-ENV:Fault"), QStringLiteral("faultcode")});
}

QByteArray envelope(const QString &operation, const Parameters &parameters) {
    QString xml = QStringLiteral(
        "<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
        "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
        "xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
        "<soapenv:Header/><soapenv:Body>");
    xml += QStringLiteral("<chat:%1 soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/"
                          "encoding/'>")
               .arg(operation);
    for (const auto &[name, value] : parameters) {
        const bool isText = name == QLatin1String("partitaiva") || name == QLatin1String("testo") ||
                            name == QLatin1String("attach");
        xml += typedElement(name, isText ? "string" : "integer", value);
    }
    xml += QStringLiteral("</chat:%1></soapenv:Body></soapenv:Envelope>").arg(operation);
    return xml.toUtf8();
}

QString base64Lines(const QByteArray &bytes) {
    const QString flat = QString::fromLatin1(bytes.toBase64());
    QStringList lines;
    for (qsizetype at = 0; at < flat.size(); at += kBase64LineLength)
        lines.append(flat.mid(at, kBase64LineLength));
    return lines.join(QStringLiteral("\r\n"));
}

Answer post(httplib::Client &client, const char *path, const QString &operation,
            const QByteArray &body) {
    Answer answer;
    answer.operation = operation;
    const auto result = client.Post(path, body.toStdString(), "text/xml; charset=utf-8");
    if (!result)
        return answer;
    answer.httpStatus = result->status;
    answer.body = QByteArray::fromStdString(result->body);
    return answer;
}

Answer getTicket(httplib::Client &client, const QString &vatNumber) {
    const QString operation = QStringLiteral("getticket");
    return post(client, kDuePath, operation,
                envelope(operation, {{QStringLiteral("partitaiva"), vatNumber}}));
}

Answer getChat(httplib::Client &client, qint32 ticketId, qint32 lastMessageId, int typing,
               const QString &vatNumber) {
    const QString operation = QStringLiteral("getchat");
    return post(client, kTrePath, operation,
                envelope(operation, {{QStringLiteral("id"), QString::number(ticketId)},
                                     {QStringLiteral("letto"), QString::number(lastMessageId)},
                                     {QStringLiteral("stascrivendo"), QString::number(typing)},
                                     {QStringLiteral("partitaiva"), vatNumber}}));
}

Answer setReadChat(httplib::Client &client, qint32 messageId) {
    const QString operation = QStringLiteral("setreadchat");
    return post(client, kDuePath, operation,
                envelope(operation, {{QStringLiteral("id"), QString::number(messageId)}}));
}

Answer setChat(httplib::Client &client, qint32 ticketId, const QByteArray &windows1252Text,
               bool attach) {
    const QString operation = QStringLiteral("setchat");
    return post(client, kTrePath, operation,
                envelope(operation, {{QStringLiteral("idticket"), QString::number(ticketId)},
                                     {QStringLiteral("testo"), base64Lines(windows1252Text)},
                                     {QStringLiteral("attach"),
                                      attach ? QStringLiteral("1") : QStringLiteral("0")}}));
}

} // namespace ChatWire
