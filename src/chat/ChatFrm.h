#pragma once

#include "messagelist/MessageModel.h"
#include "session/ChatSession.h"
#include "session/ChatView.h"
#include "session/PollTimer.h"

#include <QTimer>
#include <QWidget>

#include <deque>
#include <memory>

class ChatService;
class Clock;
class LiveChatService;
class MessageList;
class QDialog;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
struct PictureOffer;

// The chat window: header, message list and input line at fixed places. It only applies what
// its ChatSession decides.
class ChatFrm : public QWidget, private ChatView, private PollTimer {
    Q_OBJECT
public:
    explicit ChatFrm(QWidget *parent = nullptr);
    // For tests: another service and clock than the live ones.
    ChatFrm(ChatService &service, const Clock &clock, QWidget *parent = nullptr);
    ~ChatFrm() override;

    void InizializzaChat();
    void showAsForMessage() override;
    // Shown because the customer asked for it: activated, the input box ready for typing.
    void showForUser() override;

signals:
    // Main hands both on to the tray.
    void IdTicketChanged(qint32 idTicket);
    void balloonWanted(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    ChatFrm(std::unique_ptr<LiveChatService> liveService, QWidget *parent);

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
    // The boxes and previews of offered pictures open one at a time, in the order offered.
    void openInTurn(std::function<QDialog *()> dialog);
    void openNextInTurn();
    QMessageBox *warningBox(const QString &text);

    bool isShown() const override;
    QString inputText() const override;
    void setInputText(const QString &text) override;
    void showWindow() override;
    void hideWindow() override;
    void beep() override;
    void addMessage(const ChatMessage &message) override;
    void showPendingRequests(int count) override;
    void showUploadProgress(qint64 sent, qint64 total) override;
    void showWarning(const QString &text) override;
    void askYesNo(const QString &question, std::function<void(bool yes)> answer) override;
    void waitForScreenToSettle(std::function<void()> then) override;
    void captureScreen(const QString &path, std::function<void(bool written)> done) override;
    bool startProgram(const QString &path) override;
    bool programRunning() const override;
    void ticketChanged(qint32 idTicket) override;
    void showBalloon(const QString &text) override;

    void setInterval(int milliseconds) override;
    void enable() override;

    MessageModel m_messages;
    // Set when the window runs on the live service; the session must go before it.
    std::unique_ptr<LiveChatService> m_liveService;
    ChatSession m_session;
    QTimer m_timerChat;
    MessageList *m_list = nullptr;
    QLineEdit *m_textMsg = nullptr;
    QLabel *m_requestsLabel = nullptr;
    QProgressBar *m_uploadBar = nullptr;
    QTimer m_showRequests;
    // A release of Enter counts only after its press reached the input box: the press that
    // closed a message box must not send again.
    bool m_enterPressedInTextMsg = false;
    qint64 m_programPid = 0;
    std::deque<std::function<QDialog *()>> m_dialogsInTurn;
    bool m_dialogInTurnOpen = false;
};
