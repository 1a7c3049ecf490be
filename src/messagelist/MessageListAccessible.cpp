#include "messagelist/MessageListAccessible.h"

#include "messagelist/MessageAccessible.h"
#include "messagelist/MessageList.h"

namespace {
const QString kListName = QStringLiteral("Messaggi");

QAccessibleInterface *create(const QString &, QObject *object) {
    auto *list = qobject_cast<MessageList *>(object);
    return list ? new MessageListAccessible(list) : nullptr;
}
} // namespace

MessageListAccessible::MessageListAccessible(MessageList *list)
    : QAccessibleWidget(list, QAccessible::List, kListName) {}

MessageListAccessible::~MessageListAccessible() {
    for (const QAccessible::Id id : std::as_const(m_items))
        QAccessible::deleteAccessibleInterface(id);
}

void MessageListAccessible::install() {
    static const bool installed = (QAccessible::installFactory(create), true);
    Q_UNUSED(installed);
}

MessageList *MessageListAccessible::list() const {
    return static_cast<MessageList *>(widget());
}

QString MessageListAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Name ? kListName : QAccessibleWidget::text(t);
}

int MessageListAccessible::childCount() const {
    return list()->count();
}

QAccessibleInterface *MessageListAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto known = m_items.constFind(index); known != m_items.cend())
        return QAccessible::accessibleInterface(*known);
    auto *item = new MessageAccessible(list(), const_cast<MessageListAccessible *>(this), index);
    m_items.insert(index, QAccessible::registerAccessibleInterface(item));
    return item;
}

int MessageListAccessible::indexOfChild(const QAccessibleInterface *child) const {
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
    return m_items.key(id, -1);
}

QAccessibleInterface *MessageListAccessible::childAt(int x, int y) const {
    const QPoint inViewport = list()->viewport()->mapFromGlobal(QPoint(x, y));
    for (int i = 0; i < childCount(); ++i)
        if (list()->bubbleInViewport(i).contains(inViewport))
            return child(i);
    return nullptr;
}
