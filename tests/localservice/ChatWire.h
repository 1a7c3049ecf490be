#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The client's side of the chat protocol for the tests: requests built by the client's own
// envelope builders, answers read with its own reader, over a plain HTTP client so that the
// tests see statuses the client's transport hides.
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

    // The text at /SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:{operation}Response/{name}, as the
    // client reads it.
    QString field(const QString &name) const;
    QString faultCode() const;
};

// In the client's layout, for requests the client itself never sends.
QByteArray envelope(const QString &operation, const Parameters &parameters);
// "documento=" and the form-encoded Base64 lines of the bytes, as the client uploads a file.
QByteArray uploadBody(const QByteArray &bytes);

Answer post(httplib::Client &client, const char *path, const QString &operation,
            const QByteArray &body);
Answer getTicket(httplib::Client &client, const QString &vatNumber);
Answer getChat(httplib::Client &client, qint32 ticketId, qint32 lastMessageId, int typing,
               const QString &vatNumber);
Answer setReadChat(httplib::Client &client, qint32 messageId);
Answer setChat(httplib::Client &client, qint32 ticketId, const QString &text, bool attach);

} // namespace ChatWire
