#include "net/Envelopes.h"

#include "net/Base64.h"

namespace {

constexpr QLatin1String
    kEnvelopeStart("<soapenv:Envelope xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'"
                   " xmlns:xsd='http://www.w3.org/2001/XMLSchema'"
                   " xmlns:soapenv='http://schemas.xmlsoap.org/soap/envelope/' xmlns:chat='chat'>"
                   "<soapenv:Header/><soapenv:Body>");
constexpr QLatin1String kEnvelopeEnd("</soapenv:Body></soapenv:Envelope>");
constexpr QLatin1String
    kEncodingStyle(" soapenv:encodingStyle='http://schemas.xmlsoap.org/soap/encoding/'>");

QString escaped(const QString &text) {
    return text.toHtmlEscaped().replace(u'\'', QLatin1String("&apos;"));
}

QString element(const char *name, const char *type, const QString &value) {
    return QStringLiteral("<%1 xsi:type='xsd:%2'>%3</%1>")
        .arg(QLatin1String(name), QLatin1String(type), value);
}

QString integer(const char *name, qint32 value) {
    return element(name, "integer", QString::number(value));
}

QString string(const char *name, const QString &value) {
    return element(name, "string", escaped(value));
}

QString envelope(const char *operation, const QString &parameters) {
    const QLatin1String name(operation);
    return QString(kEnvelopeStart) + QLatin1String("<chat:") + name + kEncodingStyle + parameters +
           QLatin1String("</chat:") + name + QLatin1Char('>') + kEnvelopeEnd;
}

} // namespace

QString BuildGetTicket(const QString &vatNumber) {
    return envelope("getticket", string("partitaiva", vatNumber));
}

QString BuildGetChat(qint32 idTicket, qint32 lastMessageId, qint16 typing,
                     const QString &vatNumber) {
    return envelope("getchat", integer("id", idTicket) + integer("letto", lastMessageId) +
                                   integer("stascrivendo", typing) +
                                   string("partitaiva", vatNumber));
}

QString BuildSetReadChat(qint32 messageId) {
    return envelope("setreadchat", integer("id", messageId));
}

QString BuildSetChat(const QString &text, qint32 idTicket, bool attach) {
    return envelope("setchat",
                    integer("idticket", idTicket) + string("testo", Base64().Encode(text)) +
                        string("attach", attach ? QStringLiteral("1") : QStringLiteral("0")));
}
