#include "OperatorCalls.h"

#include <QJsonDocument>

namespace {

OperatorCalls::Reply toReply(const httplib::Result &result) {
    if (!result)
        return {};
    return {result->status,
            QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object()};
}

std::string ticketPath(qint32 ticketId, const char *tail) {
    return "/api/tickets/" + std::to_string(ticketId) + tail;
}

} // namespace

namespace OperatorCalls {

Reply get(httplib::Client &client, const std::string &path) {
    return toReply(client.Get(path));
}

Reply post(httplib::Client &client, const std::string &path, const QByteArray &body,
           const char *contentType) {
    return toReply(client.Post(path, body.toStdString(), contentType));
}

qint32 openTicket(httplib::Client &client, const QString &vatNumber) {
    const Reply reply =
        post(client, "/api/tickets",
             QJsonDocument(QJsonObject{{QStringLiteral("vat"), vatNumber}}).toJson());
    return reply.httpStatus == 200 ? reply.json.value(QStringLiteral("id")).toInt() : 0;
}

bool closeTicket(httplib::Client &client, qint32 ticketId) {
    return post(client, ticketPath(ticketId, "/close"), {}).httpStatus == 200;
}

qint32 sendText(httplib::Client &client, qint32 ticketId, const QString &testo) {
    const Reply reply = post(client, ticketPath(ticketId, "/messages"),
                             QJsonDocument(QJsonObject{{QStringLiteral("testo"), testo}}).toJson());
    return reply.httpStatus == 200 ? reply.json.value(QStringLiteral("id")).toInt() : 0;
}

Reply conversation(httplib::Client &client, qint32 ticketId) {
    return get(client, ticketPath(ticketId, "/messages"));
}

} // namespace OperatorCalls
