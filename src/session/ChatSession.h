#pragma once

#include "session/OperationQueue.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QImage;

class ChatService;
class ChatView;
class Clock;
class PollTimer;

// The customer's conversation: the ticket, the polling speed, incoming messages, sending texts
// and pictures. Everything runs on the UI thread; operations wait their turn in one queue, so
// that their exchanges keep the customer's order and never overlap, and the window answers
// throughout.
class ChatSession {
public:
    ChatSession(ChatService &service, ChatView &view, PollTimer &timer, const Clock &clock);

    // Start-up hands the chat over only with a VAT number; without one the process has ended.
    void InizializzaChat();
    // A tick that finds the queue busy adds one poll behind it, never a second.
    void onTimerTick();
    // OKBtn and Enter in TextMsg: the box's text when the queue reaches the request.
    void sendMessage();
    // ScreenShotBtn.
    void sendScreenshot();
    // A picture the customer pasted, dropped or picked, already cropped.
    void sendPicture(const QImage &picture);

private:
    using Done = OperationQueue::Done;
    using Then = std::function<void(bool)>;
    struct Message;

    // A request of the customer's: counted while it waits and runs, so the window can show it.
    void enqueueForCustomer(OperationQueue::Operation operation);
    void poll(Done done);
    void RichiediTicket(Done done);
    // Tells the window of each change, for the tray's menu.
    void setIdTicket(qint32 idTicket);
    // Sending asks the service for the ticket first; without one the customer is told so.
    void confirmTicket(Then then);
    void ImpostaIntervallo();
    // A run of getchat exchanges, each delivered message asking for the next.
    void AggiornaChat(Done done);
    void fetchMessages(int run, Done done);
    void endRun(bool delivered, Done done);
    // What one getchat answer says; false when it delivered no message.
    bool readAnswer(const QString &answer, Message *message);
    void showMessage(const Message &message, Done done);
    QString carryOutRemoteAssistance(const Message &message);
    // Fetches an operator's picture that is not in the folder yet.
    void fetchAttachment(const QString &fileName, bool fromOperator, Done done);
    void SegnaLetto(qint32 messageId, Done done);
    // then learns whether the service accepted the text.
    void postSetChat(const QString &text, bool attach, Then then);
    void sendText(Done done);
    void captureAndSend(Done done);
    void sendPictureNow(const QImage &picture, Done done);
    // Uploads the picture in the folder and announces it; a failed upload is told, not announced.
    void uploadAndAnnounce(const QString &fileName, Done done);
    QString pictureFolder() const;

    ChatService &m_service;
    ChatView &m_view;
    PollTimer &m_timer;
    const Clock &m_clock;
    OperationQueue m_queue;

    QDateTime m_dataUltimoMsg;
    QDateTime m_toolStartedAt;
    qint32 m_idTicket = 0;
    qint32 m_idUltimoMsg = 0;
    bool m_pollWaiting = false;
    int m_customerRequests = 0;
};
