#include "ChatStore.h"

#include <sqlite3.h>

namespace {

constexpr const char *kSchema = R"sql(
CREATE TABLE IF NOT EXISTS tickets(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    vat TEXT NOT NULL,
    open INTEGER NOT NULL,
    typing INTEGER NOT NULL DEFAULT 0,
    typing_at INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS messages(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    ticket INTEGER NOT NULL REFERENCES tickets(id),
    data INTEGER NOT NULL,
    testo TEXT NOT NULL,
    idoperatore INTEGER NOT NULL,
    attach INTEGER NOT NULL,
    letto INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS messages_by_ticket ON messages(ticket, id);
)sql";

// One prepared statement for one call; finalized however the call ends.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, qint64 value) {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Statement &bind(int index, const QString &value) {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is available.
    bool step() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_ROW; }
    bool run() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_DONE; }

    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

StoredTicket ticketFromRow(const Statement &row) {
    return StoredTicket{qint32(row.integer(0)), row.text(1), row.integer(2) != 0};
}

} // namespace

ChatStore::ChatStore(const QString &databasePath) {
    if (sqlite3_open(databasePath.toUtf8().constData(), &m_db) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    if (!execute(kSchema)) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

ChatStore::~ChatStore() {
    sqlite3_close(m_db);
}

bool ChatStore::execute(const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    m_error = QString::fromUtf8(message);
    sqlite3_free(message);
    return false;
}

std::optional<qint32> ChatStore::findOpenTicket(const QString &vatNumber) {
    Statement query(m_db, "SELECT id FROM tickets WHERE vat = ? AND open = 1 ORDER BY id LIMIT 1");
    if (query.bind(1, vatNumber).step())
        return qint32(query.integer(0));
    return std::nullopt;
}

qint32 ChatStore::openTicket(const QString &vatNumber) {
    std::lock_guard lock(m_mutex);
    if (const auto existing = findOpenTicket(vatNumber))
        return *existing;
    Statement insert(m_db, "INSERT INTO tickets(vat, open) VALUES(?, 1)");
    if (!insert.bind(1, vatNumber).run())
        return 0;
    return qint32(sqlite3_last_insert_rowid(m_db));
}

bool ChatStore::closeTicket(qint32 ticketId) {
    std::lock_guard lock(m_mutex);
    Statement update(m_db, "UPDATE tickets SET open = 0 WHERE id = ?");
    return update.bind(1, ticketId).run() && sqlite3_changes(m_db) == 1;
}

std::optional<qint32> ChatStore::openTicketOf(const QString &vatNumber) {
    std::lock_guard lock(m_mutex);
    return findOpenTicket(vatNumber);
}

std::optional<StoredTicket> ChatStore::ticket(qint32 ticketId) {
    std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT id, vat, open FROM tickets WHERE id = ?");
    if (query.bind(1, ticketId).step())
        return ticketFromRow(query);
    return std::nullopt;
}

QList<StoredTicket> ChatStore::tickets() {
    std::lock_guard lock(m_mutex);
    QList<StoredTicket> all;
    Statement query(m_db, "SELECT id, vat, open FROM tickets ORDER BY id");
    while (query.step())
        all.append(ticketFromRow(query));
    return all;
}

std::optional<qint32> ChatStore::addMessage(qint32 ticketId, const QDateTime &data,
                                            const QString &testo, qint32 idOperatore,
                                            qint16 attach) {
    std::lock_guard lock(m_mutex);
    Statement insert(m_db, "INSERT INTO messages(ticket, data, testo, idoperatore, attach) "
                           "SELECT id, ?, ?, ?, ? FROM tickets WHERE id = ? AND open = 1");
    insert.bind(1, data.toMSecsSinceEpoch()).bind(2, testo).bind(3, idOperatore).bind(4, attach);
    if (!insert.bind(5, ticketId).run() || sqlite3_changes(m_db) != 1)
        return std::nullopt;
    return qint32(sqlite3_last_insert_rowid(m_db));
}

QList<StoredMessage> ChatStore::selectMessages(qint32 ticketId, qint32 afterMessageId, int limit) {
    QList<StoredMessage> found;
    Statement query(m_db, "SELECT id, ticket, data, testo, idoperatore, attach, letto "
                          "FROM messages WHERE ticket = ? AND id > ? ORDER BY id LIMIT ?");
    query.bind(1, ticketId).bind(2, afterMessageId).bind(3, limit);
    while (query.step()) {
        found.append(StoredMessage{qint32(query.integer(0)), qint32(query.integer(1)),
                                   QDateTime::fromMSecsSinceEpoch(query.integer(2)), query.text(3),
                                   qint32(query.integer(4)), qint16(query.integer(5)),
                                   query.integer(6) != 0});
    }
    return found;
}

std::optional<StoredMessage> ChatStore::firstMessageAfter(qint32 ticketId, qint32 afterMessageId) {
    std::lock_guard lock(m_mutex);
    const QList<StoredMessage> found = selectMessages(ticketId, afterMessageId, 1);
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

QList<StoredMessage> ChatStore::messagesAfter(qint32 ticketId, qint32 afterMessageId) {
    std::lock_guard lock(m_mutex);
    return selectMessages(ticketId, afterMessageId, -1);
}

QList<qint32> ChatStore::unreadUpTo(qint32 ticketId, qint32 upToMessageId) {
    std::lock_guard lock(m_mutex);
    QList<qint32> unread;
    Statement query(m_db, "SELECT id FROM messages WHERE ticket = ? AND id <= ? AND letto = 0 "
                          "ORDER BY id");
    query.bind(1, ticketId).bind(2, upToMessageId);
    while (query.step())
        unread.append(qint32(query.integer(0)));
    return unread;
}

bool ChatStore::markRead(qint32 messageId) {
    std::lock_guard lock(m_mutex);
    Statement update(m_db, "UPDATE messages SET letto = 1 WHERE id = ?");
    return update.bind(1, messageId).run() && sqlite3_changes(m_db) == 1;
}

void ChatStore::recordTyping(qint32 ticketId, bool typing, qint64 atMs) {
    std::lock_guard lock(m_mutex);
    Statement update(m_db, "UPDATE tickets SET typing = ?, typing_at = ? WHERE id = ?");
    update.bind(1, typing ? 1 : 0).bind(2, atMs).bind(3, ticketId).run();
}

TypingState ChatStore::typing(qint32 ticketId) {
    std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT typing, typing_at FROM tickets WHERE id = ?");
    if (query.bind(1, ticketId).step())
        return TypingState{query.integer(0) != 0, query.integer(1)};
    return {};
}
