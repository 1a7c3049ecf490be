#include "ChatProtocol.h"

#include "Base64Lines.h"
#include "ChatStore.h"
#include "ChatText.h"
#include "PictureFolder.h"
#include "core/Windows1252.h"

#include <optional>

namespace {

constexpr qint32 kCustomerId = 0;

using Answer = ChatProtocol::Answer;

Answer fault(const QString &text) {
    return Answer{true, text, {}};
}

Answer status(QLatin1String value) {
    return Answer{false, {}, {{QStringLiteral("status"), value}}};
}

std::optional<QString> parameter(const SoapRequest &request, const char *name) {
    const auto found = request.parameters.constFind(QLatin1String(name));
    if (found == request.parameters.constEnd())
        return std::nullopt;
    return found->trimmed();
}

std::optional<qint32> integerParameter(const SoapRequest &request, const char *name) {
    const auto text = parameter(request, name);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// The client sends the text as Base64 of its Windows-1252 bytes, in lines of 72 characters.
std::optional<QString> decodeCustomerText(const QString &base64) {
    const auto decoded = decodeBase64Lines(base64.toLatin1());
    if (!decoded)
        return std::nullopt;
    return Windows1252::decode(*decoded);
}

} // namespace

Answer ChatProtocol::answer(Endpoint endpoint, const SoapRequest &request, const QDateTime &now) {
    const QString &operation = request.operation;
    if (endpoint == Endpoint::Due && operation == QLatin1String("getticket"))
        return getTicket(request);
    if (endpoint == Endpoint::Due && operation == QLatin1String("setreadchat"))
        return setReadChat(request);
    if (endpoint == Endpoint::Tre && operation == QLatin1String("getchat"))
        return getChat(request, now);
    if (endpoint == Endpoint::Tre && operation == QLatin1String("setchat"))
        return setChat(request, now);
    return fault(QStringLiteral("Unknown operation on this endpoint: ") + operation);
}

Answer ChatProtocol::getTicket(const SoapRequest &request) {
    const auto vatNumber = parameter(request, "partitaiva");
    if (!vatNumber)
        return fault(QStringLiteral("partitaiva is missing"));
    const auto ticketId = m_store.openTicketOf(*vatNumber);
    if (!ticketId)
        return status(kStatusRefused);
    Answer answer = status(kStatusOk);
    answer.fields.append({QStringLiteral("id"), QString::number(*ticketId)});
    return answer;
}

Answer ChatProtocol::getChat(const SoapRequest &request, const QDateTime &now) {
    const auto ticketId = integerParameter(request, "id");
    const auto lastRead = integerParameter(request, "letto");
    const auto typing = integerParameter(request, "stascrivendo");
    const auto vatNumber = parameter(request, "partitaiva");
    if (!ticketId || !lastRead || !typing || !vatNumber)
        return fault(QStringLiteral("getchat needs id, letto, stascrivendo and partitaiva"));

    // A ticket of another VAT number is as closed as a missing one for this customer.
    const auto ticket = m_store.ticket(*ticketId);
    if (!ticket || !ticket->open || ticket->vatNumber != *vatNumber)
        return status(kStatusNoTicket);
    m_store.recordTyping(*ticketId, *typing == 1, now.toMSecsSinceEpoch());

    const auto message = m_store.firstMessageAfter(*ticketId, *lastRead);
    if (!message)
        return status(kStatusNoMessage);
    Answer answer = status(kStatusOk);
    answer.fields.append(
        {{QStringLiteral("data"), message->data.toString(ChatText::kDateFormat)},
         {QStringLiteral("testo"), message->testo},
         {QStringLiteral("id"), QString::number(message->id)},
         {QStringLiteral("idoperatore"), QString::number(message->idOperatore)},
         {QStringLiteral("attach"), QString::number(message->attach)},
         {QStringLiteral("letto"), message->letto ? QStringLiteral("1") : QStringLiteral("0")}});
    return answer;
}

Answer ChatProtocol::setReadChat(const SoapRequest &request) {
    const auto messageId = integerParameter(request, "id");
    if (!messageId)
        return fault(QStringLiteral("setreadchat needs id"));
    return status(m_store.markRead(*messageId) ? kStatusOk : kStatusRefused);
}

Answer ChatProtocol::setChat(const SoapRequest &request, const QDateTime &now) {
    const auto ticketId = integerParameter(request, "idticket");
    const auto encoded = parameter(request, "testo");
    const auto attachText = parameter(request, "attach");
    if (!ticketId || !encoded || !attachText)
        return fault(QStringLiteral("setchat needs idticket, testo and attach"));

    const auto text = decodeCustomerText(*encoded);
    if (!text)
        return status(kStatusRefused);
    const QString testo = ChatText::toWireText(*text);
    const qint16 attach = *attachText == QLatin1String("1") ? 1 : 0;
    // The client builds a local path from an attachment's name: only a bare file name will do.
    if (testo.isEmpty() || !ChatText::fitsMessage(testo) ||
        (attach == 1 && !PictureFolder::isPlainFileName(testo)))
        return status(kStatusRefused);
    const auto stored = m_store.addMessage(*ticketId, now, testo, kCustomerId, attach);
    return status(stored ? kStatusOk : kStatusRefused);
}
