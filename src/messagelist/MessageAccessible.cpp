#include "messagelist/MessageAccessible.h"

#include "messagelist/MessageList.h"
#include "messagelist/MessageModel.h"

#include <QWidget>

MessageAccessible::MessageAccessible(MessageList *list, QAccessibleInterface *parent, int row)
    : m_list(list)
    , m_parent(parent)
    , m_row(row) {}

bool MessageAccessible::isValid() const {
    return m_list && m_row < m_list->count();
}

QWindow *MessageAccessible::window() const {
    return m_parent->window();
}

QString MessageAccessible::content() const {
    return isValid() ? MessageModel::spokenContent(m_list->model().message(m_row)) : QString();
}

QString MessageAccessible::text(QAccessible::Text t) const {
    if (!isValid())
        return {};
    switch (t) {
    case QAccessible::Name:
        return MessageModel::senderAndTime(m_list->model().message(m_row));
    case QAccessible::Description:
    case QAccessible::Value:
        return content();
    default:
        return {};
    }
}

QRect MessageAccessible::rect() const {
    if (!isValid())
        return {};
    const QRect inViewport = m_list->bubbleInViewport(m_row);
    return QRect(m_list->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size());
}

QAccessible::State MessageAccessible::state() const {
    QAccessible::State state;
    state.readOnly = true;
    state.selectable = true;
    if (!isValid() || !m_list->viewport()->rect().intersects(m_list->bubbleInViewport(m_row))) {
        state.offscreen = true;
        state.invisible = !isValid();
    }
    return state;
}

void *MessageAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::ActionInterface && opens())
        return static_cast<QAccessibleActionInterface *>(this);
    return nullptr;
}

bool MessageAccessible::opens() const {
    if (!isValid())
        return false;
    const ChatMessage &message = m_list->model().message(m_row);
    return message.isPicture || message.isLink;
}

QStringList MessageAccessible::actionNames() const {
    return opens() ? QStringList{pressAction()} : QStringList();
}

void MessageAccessible::doAction(const QString &actionName) {
    if (actionName != pressAction() || !opens())
        return;
    if (m_list->model().message(m_row).isPicture)
        m_list->openPicture(m_row);
    else
        m_list->openLink(m_row);
}

void MessageAccessible::selection(int, int *startOffset, int *endOffset) const {
    *startOffset = *endOffset = 0;
}

QString MessageAccessible::text(int startOffset, int endOffset) const {
    return content().mid(startOffset, endOffset - startOffset);
}

int MessageAccessible::characterCount() const {
    return int(content().size());
}

void MessageAccessible::scrollToSubstring(int, int) {
    if (isValid())
        m_list->scrollToBubble(m_row);
}

QString MessageAccessible::attributes(int offset, int *startOffset, int *endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return {};
}
