#pragma once

#include "TypingState.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>

struct sqlite3;

struct StoredTicket {
    qint32 id = 0;
    QString vatNumber;
    bool open = false;
};

struct StoredMessage {
    qint32 id = 0;
    qint32 ticketId = 0;
    QDateTime data;
    QString testo; // wire form: lines separated by "<br>"
    qint32 idOperatore = 0;
    qint16 attach = 0;
    bool letto = false;
};

// Tickets by VAT number, their messages and the customer's typing flag, in SQLite. Every call is
// one short transaction under a lock, because the HTTP server answers on several threads.
class ChatStore {
public:
    // ":memory:" keeps everything in memory for the life of the process.
    explicit ChatStore(const QString &databasePath);
    ~ChatStore();
    ChatStore(const ChatStore &) = delete;
    ChatStore &operator=(const ChatStore &) = delete;

    bool isReady() const { return m_db != nullptr; }
    QString errorText() const { return m_error; }

    // The VAT number's open ticket, opened now when it has none.
    qint32 openTicket(const QString &vatNumber);
    bool closeTicket(qint32 ticketId);
    std::optional<qint32> openTicketOf(const QString &vatNumber);
    std::optional<StoredTicket> ticket(qint32 ticketId);
    QList<StoredTicket> tickets();

    // Only open tickets take messages.
    std::optional<qint32> addMessage(qint32 ticketId, const QDateTime &data, const QString &testo,
                                     qint32 idOperatore, qint16 attach);
    std::optional<StoredMessage> firstMessageAfter(qint32 ticketId, qint32 afterMessageId);
    QList<StoredMessage> messagesAfter(qint32 ticketId, qint32 afterMessageId);
    // The ids up to upToMessageId that the customer's client has not reported read, in order.
    QList<qint32> unreadUpTo(qint32 ticketId, qint32 upToMessageId);
    bool markRead(qint32 messageId);

    void recordTyping(qint32 ticketId, bool typing, qint64 atMs);
    TypingState typing(qint32 ticketId);

private:
    std::optional<qint32> findOpenTicket(const QString &vatNumber);
    QList<StoredMessage> selectMessages(qint32 ticketId, qint32 afterMessageId, int limit);
    bool execute(const char *sql);

    sqlite3 *m_db = nullptr;
    QString m_error;
    std::mutex m_mutex;
};
