#pragma once

#include <QDateTime>
#include <QString>

class QImage;

class ChatService;
class ChatView;
class Clock;
class PollTimer;

// The customer's conversation: the ticket, the polling speed, incoming messages, sending texts
// and pictures. Everything runs on the UI thread, one operation at a time.
class ChatSession {
public:
    ChatSession(ChatService &service, ChatView &view, PollTimer &timer, const Clock &clock);

    void InizializzaChat();
    void onTimerTick();
    // OKBtn and Enter in TextMsg.
    void sendMessage();
    // ScreenShotBtn.
    void sendScreenshot();
    // A picture the customer pasted, dropped or picked, already cropped.
    void sendPicture(const QImage &picture);

private:
    struct Message;

    template<typename Operation> void exclusively(Operation operation);
    void RichiediTicket();
    // Sending asks the service for the ticket first; without one the customer is told so.
    bool confirmTicket();
    void ImpostaIntervallo();
    void AggiornaChat();
    // One getchat exchange; true when it delivered a message, which asks for the next one.
    bool fetchNextMessage();
    void showMessage(const Message &message);
    QString carryOutRemoteAssistance(const Message &message);
    // Fetches an operator's picture that is not in the folder yet.
    void fetchAttachment(const QString &fileName, bool fromOperator);
    void SegnaLetto(qint32 messageId);
    // True when the service accepted the text.
    bool postSetChat(const QString &text, bool attach);
    // Uploads the picture in the folder and announces it; a failed upload is told, not announced.
    void uploadAndAnnounce(const QString &fileName);
    QString pictureFolder() const;

    ChatService &m_service;
    ChatView &m_view;
    PollTimer &m_timer;
    const Clock &m_clock;

    QDateTime m_dataUltimoMsg;
    QDateTime m_toolStartedAt;
    qint32 m_idUltimoMsg = 0;
    bool m_busy = false;
};
