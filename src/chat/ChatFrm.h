#pragma once

#include "chat/ChatSession.h"
#include "chat/ChatView.h"
#include "chat/MessageModel.h"
#include "chat/PollTimer.h"

#include <QTimer>
#include <QWidget>

class ChatService;
class Clock;
class MessageList;
class QDropEvent;
class QLineEdit;
struct PictureOffer;

// The chat window: header, message list and input line at fixed places. It only applies what
// its ChatSession decides.
class ChatFrm : public QWidget, private ChatView, private PollTimer {
    Q_OBJECT
public:
    explicit ChatFrm(QWidget *parent = nullptr);
    // For tests: another service and clock than the live ones.
    ChatFrm(ChatService &service, const Clock &clock, QWidget *parent = nullptr);

    void InizializzaChat();
    void showAsForMessage() override;
    // Shown because the customer asked for it: activated, the input box ready for typing.
    void showForUser() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildHeader();
    void buildMessageList();
    void buildInputLine();
    void onTextMsgKey(const QKeyEvent &key);

    // False when the clipboard holds no picture, so that a text pastes as text.
    bool pastePictures();
    // False for drags without pictures, which go their usual way.
    bool takeDrag(QDropEvent *event);
    void showTextMsgMenu(const QPoint &globalPos);
    void choosePictures();
    // Pictures pasted, dropped or picked go through one preview each, in order.
    void sendOffered(const PictureOffer &offer);
    void previewAndSend(const QImage &picture);

    bool isShown() const override;
    QString inputText() const override;
    void clearInput() override;
    void showWindow() override;
    void hideWindow() override;
    void beep() override;
    void setCanvasVisible(bool visible) override;
    void addMessage(const ChatMessage &message) override;
    void showWarning(const QString &text) override;
    bool askYesNo(const QString &question) override;
    void waitForScreenToSettle() override;
    bool captureScreen(const QString &path) override;
    bool startProgram(const QString &path) override;
    bool programRunning() const override;
    void endProcess() override;

    void setInterval(int milliseconds) override;
    void enable() override;

    MessageModel m_messages;
    ChatSession m_session;
    QTimer m_timerChat;
    MessageList *m_list = nullptr;
    QLineEdit *m_textMsg = nullptr;
    // A release of Enter counts only after its press reached the input box: the press that
    // closed a message box must not send again.
    bool m_enterPressedInTextMsg = false;
    qint64 m_programPid = 0;
};
