#include "ServiceBacklog.h"

#include "LocalService.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {
constexpr int kPollMs = 200;
}

namespace ServiceBacklog {

Conversation fill(LocalService &service, const QString &vatNumber, int count) {
    Conversation conversation;
    const qint32 ticketId = service.openTicket(vatNumber);
    for (int i = 1; ticketId != 0 && i <= count; ++i) {
        conversation.lastMessageId = service.sendText(
            ticketId, QStringLiteral("Messaggio %1 dell'operatore, con qualche parola").arg(i));
        if (conversation.lastMessageId == 0)
            return {};
    }
    conversation.ticketId = ticketId;
    return conversation;
}

bool waitUntilRead(LocalService &service, const Conversation &conversation, int limitMs) {
    for (QDeadlineTimer deadline(limitMs); !deadline.hasExpired(); QThread::msleep(kPollMs)) {
        if (service.isRead(conversation.ticketId, conversation.lastMessageId))
            return true;
    }
    return false;
}

} // namespace ServiceBacklog
