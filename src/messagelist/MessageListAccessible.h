#pragma once

#include <QAccessibleWidget>
#include <QHash>

class MessageList;

// What a screen reader finds in the message list: a list named "Messaggi" with one item per
// message. The items are made when asked for and live as long as the list's interface.
class MessageListAccessible : public QAccessibleWidget {
public:
    explicit MessageListAccessible(MessageList *list);
    ~MessageListAccessible() override;

    // Lets Qt ask this class for every MessageList; once is enough.
    static void install();

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

private:
    MessageList *list() const;

    mutable QHash<int, QAccessible::Id> m_items;
};
