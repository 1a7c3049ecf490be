#pragma once

#include "bubble/ChatMessage.h"

#include <QAbstractListModel>

#include <deque>

// The delivered messages in order, apart from any view: the session appends, the list paints and
// speaks them, tests read them. Messages are never removed while the process runs.
class MessageModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit MessageModel(QObject *parent = nullptr);

    void append(const ChatMessage &message);
    const ChatMessage &message(int row) const { return m_messages[size_t(row)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    // Qt's standard roles only, for any view: the text, and what a screen reader says.
    QVariant data(const QModelIndex &index, int role) const override;

    // "Operatore, 14:05": what a screen reader names the message by.
    static QString senderAndTime(const ChatMessage &message);
    // The text, or what stands for a picture.
    static QString spokenContent(const ChatMessage &message);

private:
    // Grows without copying, and without leaving the old copies behind in the heap.
    std::deque<ChatMessage> m_messages;
};
