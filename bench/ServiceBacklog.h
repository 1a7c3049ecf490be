#pragma once

#include <QString>

class LocalService;

namespace ServiceBacklog {

struct Conversation {
    qint32 ticketId = 0; // 0 when the service refused
    qint32 lastMessageId = 0;
};

// Opens the VAT number's ticket and has the operator write count messages into it.
Conversation fill(LocalService &service, const QString &vatNumber, int count);

// Waits until the client has marked the conversation's last message read; false after
// limitMs without that.
bool waitUntilRead(LocalService &service, const Conversation &conversation, int limitMs);

} // namespace ServiceBacklog
