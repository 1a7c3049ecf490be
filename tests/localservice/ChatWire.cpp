#include "ChatWire.h"

#include "app/Windows1252.h"
#include "service/Base64.h"
#include "service/Envelopes.h"
#include "service/FileUpload.h"
#include "service/ResponseReader.h"

namespace {

constexpr auto kBodyPath = "/SOAP-ENV:Envelope/SOAP-ENV:Body/";

QString typedElement(const QString &name, const char *type, const QString &value) {
    return QStringLiteral("<%1 xsi:type='xsd:%2'>%3</%1>").arg(name, QLatin1String(type), value);
}

} // namespace

namespace ChatWire {

QString Answer::field(const QString &name) const {
    return GetXmlValue(QString::fromUtf8(body),
                       kBodyPath + QStringLiteral("ns1:%1Response/%2").arg(operation, name));
}

QString Answer::faultCode() const {
    return GetXmlValue(QString::fromUtf8(body),
                       kBodyPath + QStringLiteral("SOAP-ENV:Fault/faultcode"));
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

QByteArray uploadBody(const QByteArray &bytes) {
    const QString base64 = Base64().Encode(Windows1252::decode(bytes));
    return QByteArrayLiteral("documento=") + UrlEncode(base64).toLatin1();
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
    return post(client, kDuePath, QStringLiteral("getticket"), BuildGetTicket(vatNumber).toUtf8());
}

Answer getChat(httplib::Client &client, qint32 ticketId, qint32 lastMessageId, int typing,
               const QString &vatNumber) {
    return post(client, kTrePath, QStringLiteral("getchat"),
                BuildGetChat(ticketId, lastMessageId, qint16(typing), vatNumber).toUtf8());
}

Answer setReadChat(httplib::Client &client, qint32 messageId) {
    return post(client, kDuePath, QStringLiteral("setreadchat"),
                BuildSetReadChat(messageId).toUtf8());
}

Answer setChat(httplib::Client &client, qint32 ticketId, const QString &text, bool attach) {
    return post(client, kTrePath, QStringLiteral("setchat"),
                BuildSetChat(text, ticketId, attach).toUtf8());
}

} // namespace ChatWire
