#pragma once

#include <QAccessibleInterface>
#include <QPointer>

class MessageList;

// One message to a screen reader: named by sender and time, its text the message's text (a
// picture's file name), and a link or a picture can be opened by its action.
class MessageAccessible : public QAccessibleInterface,
                          public QAccessibleActionInterface,
                          public QAccessibleTextInterface {
public:
    MessageAccessible(MessageList *list, QAccessibleInterface *parent, int row);

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *parent() const override { return m_parent; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    // Read only: no cursor and no selection of its own.
    void selection(int, int *startOffset, int *endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override;
    QString attributes(int, int *startOffset, int *endOffset) const override;

private:
    QString content() const;
    bool opens() const;

    QPointer<MessageList> m_list;
    QAccessibleInterface *m_parent;
    int m_row;
};
