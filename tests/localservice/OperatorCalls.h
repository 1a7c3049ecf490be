#pragma once

#include <httplib.h>

#include <QJsonObject>
#include <QString>

// The operator console's JSON calls, for the tests.
namespace OperatorCalls {

struct Reply {
    int httpStatus = 0; // 0 when no answer came
    QJsonObject json;
};

Reply get(httplib::Client &client, const std::string &path);
Reply post(httplib::Client &client, const std::string &path, const QByteArray &body,
           const char *contentType = "application/json");

// The ticket id, or 0.
qint32 openTicket(httplib::Client &client, const QString &vatNumber);
bool closeTicket(httplib::Client &client, qint32 ticketId);
// The message id, or 0.
qint32 sendText(httplib::Client &client, qint32 ticketId, const QString &testo);
Reply conversation(httplib::Client &client, qint32 ticketId);

} // namespace OperatorCalls
