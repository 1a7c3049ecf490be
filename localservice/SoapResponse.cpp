#include "SoapResponse.h"

#include <QXmlStreamWriter>

#include <functional>

namespace {

constexpr auto kEnvelopeNamespace = QLatin1String("http://schemas.xmlsoap.org/soap/envelope/");
constexpr auto kEnvelopePrefix = QLatin1String("SOAP-ENV");
constexpr auto kChatNamespace = QLatin1String("urn:chat");
constexpr auto kChatPrefix = QLatin1String("ns1");

QByteArray envelope(const std::function<void(QXmlStreamWriter &)> &writeBody) {
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartDocument();
    writer.writeNamespace(kEnvelopeNamespace, kEnvelopePrefix);
    writer.writeNamespace(kChatNamespace, kChatPrefix);
    writer.writeStartElement(kEnvelopeNamespace, QLatin1String("Envelope"));
    writer.writeStartElement(kEnvelopeNamespace, QLatin1String("Body"));
    writeBody(writer);
    writer.writeEndDocument();
    return xml;
}

} // namespace

namespace SoapResponse {

QByteArray result(const QString &operation, const Fields &fields) {
    return envelope([&](QXmlStreamWriter &writer) {
        writer.writeStartElement(kChatNamespace, operation + QLatin1String("Response"));
        for (const auto &[name, value] : fields)
            writer.writeTextElement(name, value);
        writer.writeEndElement();
    });
}

QByteArray fault(const QString &faultCode, const QString &faultString) {
    return envelope([&](QXmlStreamWriter &writer) {
        writer.writeStartElement(kEnvelopeNamespace, QLatin1String("Fault"));
        writer.writeTextElement(QLatin1String("faultcode"), kEnvelopePrefix + u':' + faultCode);
        writer.writeTextElement(QLatin1String("faultstring"), faultString);
        writer.writeEndElement();
    });
}

} // namespace SoapResponse
