#include "OperatorApi.h"

#include "ChatStore.h"
#include "ChatText.h"
#include "PictureFolder.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUuid>

#include <optional>

namespace {

constexpr auto kJsonType = "application/json; charset=utf-8";
constexpr qsizetype kMaxVatLength = 32;

void reply(httplib::Response &response, int status, const QJsonObject &body) {
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                         kJsonType);
}

QJsonObject ticketJson(const StoredTicket &ticket) {
    return QJsonObject{{QStringLiteral("id"), ticket.id},
                       {QStringLiteral("vat"), ticket.vatNumber},
                       {QStringLiteral("open"), ticket.open}};
}

QJsonObject messageJson(const StoredMessage &message) {
    return QJsonObject{{QStringLiteral("id"), message.id},
                       {QStringLiteral("data"), message.data.toString(ChatText::kDateFormat)},
                       {QStringLiteral("testo"), message.testo},
                       {QStringLiteral("idoperatore"), message.idOperatore},
                       {QStringLiteral("attach"), message.attach},
                       {QStringLiteral("letto"), message.letto}};
}

std::optional<QJsonObject> jsonBody(const httplib::Request &request) {
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// The ticket named by the path; routes only match digits, but they may overflow.
std::optional<qint32> ticketIdOf(const httplib::Request &request) {
    bool ok = false;
    const qint32 id = QString::fromStdString(request.matches[1]).toInt(&ok);
    return ok ? std::optional(id) : std::nullopt;
}

} // namespace

void OperatorApi::replyError(httplib::Response &response, int status, const char *error) {
    reply(response, status, QJsonObject{{QStringLiteral("error"), QLatin1String(error)}});
}

void OperatorApi::addRoutes(httplib::Server &server) {
    using httplib::Request;
    using httplib::Response;
    server.Get("/api/tickets", [this](const Request &, Response &res) { listTickets(res); });
    server.Post("/api/tickets",
                [this](const Request &req, Response &res) { openTicket(req, res); });
    server.Post(R"(/api/tickets/(\d+)/close)",
                [this](const Request &req, Response &res) { closeTicket(req, res); });
    server.Get(R"(/api/tickets/(\d+)/messages)",
               [this](const Request &req, Response &res) { conversation(req, res); });
    server.Post(R"(/api/tickets/(\d+)/messages)",
                [this](const Request &req, Response &res) { sendText(req, res); });
    server.Post(R"(/api/tickets/(\d+)/pictures)",
                [this](const Request &req, Response &res) { sendPicture(req, res); });
}

void OperatorApi::listTickets(httplib::Response &response) {
    QJsonArray tickets;
    for (const StoredTicket &ticket : m_store.tickets())
        tickets.append(ticketJson(ticket));
    reply(response, 200, QJsonObject{{QStringLiteral("tickets"), tickets}});
}

void OperatorApi::openTicket(const httplib::Request &request, httplib::Response &response) {
    static const QRegularExpression vatPattern(QStringLiteral("^[A-Za-z0-9]+$"));
    const auto body = jsonBody(request);
    const QString vatNumber = body ? body->value(QStringLiteral("vat")).toString().trimmed() : "";
    if (vatNumber.size() > kMaxVatLength || !vatPattern.match(vatNumber).hasMatch())
        return replyError(response, 400, "vat must be 1 to 32 letters or digits");
    const qint32 id = m_store.openTicket(vatNumber);
    if (id == 0)
        return replyError(response, 500, "the ticket could not be stored");
    reply(response, 200, ticketJson(StoredTicket{id, vatNumber, true}));
}

void OperatorApi::closeTicket(const httplib::Request &request, httplib::Response &response) {
    const auto id = ticketIdOf(request);
    if (!id || !m_store.closeTicket(*id))
        return replyError(response, 404, "no such ticket");
    reply(response, 200, ticketJson(*m_store.ticket(*id)));
}

void OperatorApi::conversation(const httplib::Request &request, httplib::Response &response) {
    const auto id = ticketIdOf(request);
    const auto ticket = id ? m_store.ticket(*id) : std::nullopt;
    if (!ticket)
        return replyError(response, 404, "no such ticket");
    const qint32 after = QString::fromStdString(request.get_param_value("after")).toInt();
    QJsonArray messages;
    for (const StoredMessage &message : m_store.messagesAfter(ticket->id, after))
        messages.append(messageJson(message));
    // Read marks change on messages the console already holds; it learns of them here.
    QJsonArray unread;
    for (const qint32 messageId : m_store.unreadUpTo(ticket->id, after))
        unread.append(messageId);
    const bool typing = m_store.typing(ticket->id).isTypingAt(QDateTime::currentMSecsSinceEpoch());
    reply(response, 200,
          QJsonObject{{QStringLiteral("ticket"), ticketJson(*ticket)},
                      {QStringLiteral("typing"), ticket->open && typing},
                      {QStringLiteral("messages"), messages},
                      {QStringLiteral("unread"), unread}});
}

void OperatorApi::sendText(const httplib::Request &request, httplib::Response &response) {
    const auto id = ticketIdOf(request);
    const auto body = jsonBody(request);
    const QString typed = body ? body->value(QStringLiteral("testo")).toString() : QString();
    const QString testo = ChatText::toWireText(typed);
    if (typed.trimmed().isEmpty() || testo.trimmed().isEmpty())
        return replyError(response, 400, "testo must hold text");
    if (!ChatText::fitsMessage(testo))
        return replyError(response, 400, "testo must stay within 64 KiB");
    const auto messageId =
        id ? m_store.addMessage(*id, QDateTime::currentDateTime(), testo, kOperatorId, 0)
           : std::nullopt;
    if (!messageId)
        return replyError(response, 409, "no open ticket with this id");
    reply(response, 200, QJsonObject{{QStringLiteral("id"), *messageId}});
}

void OperatorApi::sendPicture(const httplib::Request &request, httplib::Response &response) {
    const auto id = ticketIdOf(request);
    const auto ticket = id ? m_store.ticket(*id) : std::nullopt;
    if (!ticket || !ticket->open)
        return replyError(response, 409, "no open ticket with this id");
    const QString given = QString::fromStdString(request.get_param_value("name"));
    if (!PictureFolder::hasPictureSuffix(given) || request.body.empty())
        return replyError(response, 400, "a JPEG, PNG, GIF or BMP picture is needed");
    const QString suffix = QFileInfo(given).suffix().toLower();

    // The client keeps downloaded pictures by name and never fetches a name twice, so every
    // picture gets a name of its own.
    const QDateTime now = QDateTime::currentDateTime();
    const QString name = QStringLiteral("%1_%2_%3.%4")
                             .arg(ticket->id)
                             .arg(now.toString(QStringLiteral("yyyyMMddHHmmss")))
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(8))
                             .arg(suffix);
    if (m_pictures.store(name, QByteArray::fromStdString(request.body)) !=
        PictureFolder::Stored::Yes)
        return replyError(response, 500, "the picture could not be stored");
    const auto messageId = m_store.addMessage(ticket->id, now, name, kOperatorId, 1);
    if (!messageId)
        return replyError(response, 409, "no open ticket with this id");
    reply(response, 200,
          QJsonObject{{QStringLiteral("id"), *messageId}, {QStringLiteral("name"), name}});
}
