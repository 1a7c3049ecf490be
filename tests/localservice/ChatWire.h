#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The client's side of the chat protocol, written out for the tests: requests laid out as the
// client lays them out, answers read by the absolute paths the client reads.
namespace ChatWire {

constexpr auto kDuePath = "/RovizeveReravav/sync_connector/ws_chat_due.php";
constexpr auto kTrePath = "/RovizeveReravav/sync_connector/ws_chat_tre.php";
constexpr auto kUploadPath = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
constexpr auto kDownloadPath = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";

using Parameters = QList<QPair<QString, QString>>;

struct Answer {
    int httpStatus = 0; // 0 when no answer came
    QString operation;
    QByteArray body;

    // The text at /SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:{operation}Response/{name}; prefixes are
    // compared as written. Empty when absent or when the body is not well-formed.
    QString field(const QString &name) const;
    QString faultCode() const;
};

QByteArray envelope(const QString &operation, const Parameters &parameters);
// Base64 in lines of 72 characters ended by CR LF.
QString base64Lines(const QByteArray &bytes);

Answer post(httplib::Client &client, const char *path, const QString &operation,
            const QByteArray &body);
Answer getTicket(httplib::Client &client, const QString &vatNumber);
Answer getChat(httplib::Client &client, qint32 ticketId, qint32 lastMessageId, int typing,
               const QString &vatNumber);
Answer setReadChat(httplib::Client &client, qint32 messageId);
Answer setChat(httplib::Client &client, qint32 ticketId, const QByteArray &windows1252Text,
               bool attach);

} // namespace ChatWire
