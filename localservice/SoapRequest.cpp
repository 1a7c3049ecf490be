#include "SoapRequest.h"

#include <QXmlStreamReader>

namespace {

constexpr auto kEnvelopeNamespace = QLatin1String("http://schemas.xmlsoap.org/soap/envelope/");

bool isEnvelopeElement(const QXmlStreamReader &reader, QLatin1String name) {
    return reader.namespaceUri() == kEnvelopeNamespace && reader.name() == name;
}

// The operation element and its parameters; the reader stands on the operation's start tag.
bool readOperation(QXmlStreamReader &reader, SoapRequest &request) {
    request.operation = reader.name().toString();
    while (reader.readNextStartElement()) {
        const QString name = reader.name().toString();
        const QString value = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (reader.hasError())
            return false;
        if (!request.parameters.contains(name))
            request.parameters.insert(name, value);
    }
    return !reader.hasError();
}

} // namespace

std::optional<SoapRequest> SoapRequest::parse(const QByteArray &body) {
    QXmlStreamReader reader(body);
    SoapRequest request;
    bool haveOperation = false;
    // A DTD could declare entities that expand without bound; no client of ours sends one.
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
        if (reader.tokenType() == QXmlStreamReader::DTD)
            return std::nullopt;
    }
    if (!reader.isStartElement() || !isEnvelopeElement(reader, QLatin1String("Envelope")))
        return std::nullopt;
    while (reader.readNextStartElement()) {
        if (!haveOperation && isEnvelopeElement(reader, QLatin1String("Body")) &&
            reader.readNextStartElement()) {
            if (!readOperation(reader, request))
                return std::nullopt;
            haveOperation = true;
        }
        reader.skipCurrentElement();
    }
    // Read to the end so that a body broken after the operation is refused as well.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError() || !haveOperation)
        return std::nullopt;
    return request;
}
