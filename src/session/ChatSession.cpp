#include "session/ChatSession.h"

#include "bubble/BubbleColours.h"
#include "bubble/TextHelpers.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "core/DiagnosticLog.h"
#include "core/FileChecks.h"
#include "core/IsPlainFileName.h"
#include "core/Numbers.h"
#include "core/ServiceProtocol.h"
#include "net/Envelopes.h"
#include "net/GetXmlValue.h"
#include "outgoing/OutgoingPicture.h"
#include "outgoing/OutgoingText.h"
#include "outgoing/PictureFileName.h"
#include "session/ChatService.h"
#include "session/ChatView.h"
#include "session/IsLink.h"
#include "session/PollTimer.h"
#include "session/ServiceDate.h"

#include <QDir>
#include <QImage>

namespace {
const QString kEndpointDue = QLatin1String(ServiceProtocol::kEndpointDue);
const QString kEndpointTre = QLatin1String(ServiceProtocol::kEndpointTre);
const QString kGetTicketStatus =
    QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getticketResponse/status");
const QString kGetTicketId =
    QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getticketResponse/id");
const QString kGetChatField =
    QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:getchatResponse/");
const QString kSetChatStatus =
    QStringLiteral("/SOAP-ENV:Envelope/SOAP-ENV:Body/ns1:setchatResponse/status");
const QString kStatusOk = QLatin1String(ServiceProtocol::kStatusOk);
const QString kStatusNoTicket = QLatin1String(ServiceProtocol::kStatusNoTicket);

constexpr int kNoTicketIntervalMs = 60000;
constexpr int kIdleIntervalMs = 20000;
constexpr int kActiveIntervalMs = 2000;
constexpr int kFollowUpIntervalMs = 500;
constexpr qint64 kActiveMinutes = 10;
// A longer backlog goes on at the next follow-up tick, so that what the customer asked for
// meanwhile gets its turn between runs.
constexpr int kMessagesPerRun = 100;
// The remote-assistance tool starts at most this often, and never beside a running one.
constexpr qint64 kToolRestartSeconds = 60;

const QString kBubbleTimeFormat = QStringLiteral("HH:mm");

const QString kRemoteAssistanceCommand = QStringLiteral("[CMD]supremo");
const QString kRemoteAssistanceTool = QStringLiteral("/../DAruzeve.exe");
const QString kRemoteAssistanceStarted = QStringLiteral("L'operatore ha avviato SupRemo..");
const QString kRemoteAssistanceMissing = QStringLiteral("Avvio di SupRemo non riuscito..");

const QString kPictureFolder =
    QLatin1Char('/') + QLatin1String(ServiceProtocol::kPictureFolder) + QLatin1Char('/');

const QString kEndOfChat = QStringLiteral("Chat terminata.");
const QString kNoTicketWarning =
    QStringLiteral("Nessun ticket abilitato per la gestione a mezzo chat.");
const QString kPictureNotSent =
    QStringLiteral("Non è stato possibile inviare l'immagine all'operatore. Riprovare più tardi.");
const QString kScreenNotCaptured =
    QStringLiteral("Non è stato possibile catturare l'immagine dello schermo. Nulla è stato "
                   "inviato all'operatore.");
const QString kScreenshotQuestion = QStringLiteral(
    "Si desidera inviare una immagine dello schermo all'operatore del customer care Quintaro?");

const QDateTime kZeroDate(QDate(1899, 12, 30), QTime(0, 0));

// Minute boundaries crossed on the wall clock; time-zone offsets of either date play no part.
qint64 minutesBetween(const QDateTime &from, const QDateTime &to) {
    const auto wholeMinute = [](const QDateTime &time) {
        return QDateTime(time.date(), QTime(time.time().hour(), time.time().minute()), Qt::UTC);
    };
    return wholeMinute(from).secsTo(wholeMinute(to)) / 60;
}

qint32 readInt32(const QString &text) {
    return RoundToInt32(ToNumber(text)).value_or(0);
}
qint16 readInt16(const QString &text) {
    return RoundToInt16(ToNumber(text)).value_or(0);
}

AppState &state() {
    return AppState::instance();
}
} // namespace

struct ChatSession::Message {
    QString testo;
    qint32 id = 0;
    qint32 idOperatore = 0;
    qint16 attach = 0;
    qint16 letto = 0;
};

ChatSession::ChatSession(ChatService &service, ChatView &view, PollTimer &timer, const Clock &clock)
    : m_service(service)
    , m_view(view)
    , m_timer(timer)
    , m_clock(clock)
    , m_dataUltimoMsg(kZeroDate) {}

void ChatSession::InizializzaChat() {
    m_queue.enqueue([this](Done done) {
        RichiediTicket([this, done] {
            ImpostaIntervallo();
            done();
        });
    });
}

void ChatSession::onTimerTick() {
    if (m_pollWaiting)
        return;
    m_pollWaiting = true;
    m_queue.enqueue([this](Done done) {
        m_pollWaiting = false;
        poll(done);
    });
}

void ChatSession::enqueueForCustomer(OperationQueue::Operation operation) {
    m_view.showPendingRequests(++m_customerRequests);
    m_queue.enqueue([this, operation = std::move(operation)](Done done) {
        operation([this, done] {
            m_view.showPendingRequests(--m_customerRequests);
            done();
        });
    });
}

void ChatSession::poll(Done done) {
    if (m_idTicket != 0)
        AggiornaChat(done);
    else
        RichiediTicket(done);
}

void ChatSession::sendMessage() {
    enqueueForCustomer([this](Done done) { sendText(done); });
}

void ChatSession::sendText(Done done) {
    const QString typed = m_view.inputText();
    // Nothing goes out changed without a word: the customer decides what to do with the text.
    const QString text = OutgoingText::normalized(typed);
    if (const QString refused = OutgoingText::unsendable(text); !refused.isEmpty()) {
        m_view.showWarning(OutgoingText::warningFor(refused));
        return done();
    }
    confirmTicket([this, done, typed, text](bool ticket) {
        if (!ticket || text.isEmpty())
            return done();
        postSetChat(text, false, [this, done, typed](bool accepted) {
            if (!accepted)
                return done();
            m_dataUltimoMsg = m_clock.now();
            AggiornaChat([this, done, typed] {
                // What the customer typed while the message went out stays in the box.
                const QString now = m_view.inputText();
                if (now.startsWith(typed))
                    m_view.setInputText(now.mid(typed.size()));
                done();
            });
        });
    });
}

void ChatSession::sendScreenshot() {
    enqueueForCustomer([this](Done done) {
        confirmTicket([this, done](bool ticket) {
            // The question waits for the customer outside the queue: polling goes on meanwhile.
            if (ticket)
                m_view.askYesNo(kScreenshotQuestion, [this](bool yes) {
                    if (yes)
                        enqueueForCustomer([this](Done done) { captureAndSend(done); });
                });
            done();
        });
    });
}

void ChatSession::captureAndSend(Done done) {
    // The chat may have ended while the question was open.
    if (m_idTicket == 0) {
        m_view.showWarning(kNoTicketWarning);
        return done();
    }
    m_view.hideWindow();
    const QString fileName = PictureFileName::of(m_idTicket, m_clock.now());
    const Done showAgain = [this, done] {
        m_view.showForUser();
        done();
    };
    m_view.waitForScreenToSettle([this, fileName, showAgain] {
        m_view.captureScreen(pictureFolder() + fileName, [this, fileName, showAgain](bool written) {
            // Announcing a picture that was never written would show the operator a broken file.
            if (!written) {
                showAgain();
                return m_view.showWarning(kScreenNotCaptured);
            }
            uploadAndAnnounce(fileName, showAgain);
        });
    });
}

void ChatSession::sendPicture(const QImage &picture) {
    enqueueForCustomer([this, picture](Done done) { sendPictureNow(picture, done); });
}

void ChatSession::sendPictureNow(const QImage &picture, Done done) {
    confirmTicket([this, picture, done](bool ticket) {
        if (!ticket)
            return done();
        const QString fileName =
            PictureFileName::freeIn(QDir(pictureFolder()), m_idTicket, m_clock.now());
        const QString error = OutgoingPicture::writeJpeg(picture, pictureFolder() + fileName);
        if (!error.isEmpty()) {
            WriteLog(fileName + QStringLiteral(": ") + error);
            m_view.showWarning(kPictureNotSent);
            return done();
        }
        uploadAndAnnounce(fileName, done);
    });
}

void ChatSession::uploadAndAnnounce(const QString &fileName, Done done) {
    const auto progress = [this](qint64 sent, qint64 total) {
        m_view.showUploadProgress(sent, total);
    };
    m_service.uploadFile(pictureFolder() + fileName, progress,
                         [this, fileName, done](bool uploaded) {
                             m_view.showUploadProgress(0, 0);
                             // A picture the service never got must not be announced; the file
                             // stays for a retry.
                             if (!uploaded) {
                                 m_view.showForUser();
                                 m_view.showWarning(kPictureNotSent);
                                 return done();
                             }
                             postSetChat(fileName, true, [this, done](bool accepted) {
                                 if (!accepted)
                                     return done();
                                 m_dataUltimoMsg = m_clock.now();
                                 AggiornaChat(done);
                             });
                         });
}

void ChatSession::RichiediTicket(Done done) {
    m_service.post(kEndpointDue, BuildGetTicket(state().VatNumber),
                   [this, done](const QString &answer) {
                       qint32 idTicket = 0;
                       if (GetXmlValue(answer, kGetTicketStatus) == kStatusOk)
                           idTicket = readInt32(GetXmlValue(answer, kGetTicketId));
                       setIdTicket(idTicket);
                       done();
                   });
}

void ChatSession::setIdTicket(qint32 idTicket) {
    if (idTicket == m_idTicket)
        return;
    m_idTicket = idTicket;
    m_view.ticketChanged(idTicket);
}

void ChatSession::confirmTicket(Then then) {
    RichiediTicket([this, then] {
        const bool ticket = m_idTicket != 0;
        if (!ticket)
            m_view.showWarning(kNoTicketWarning);
        then(ticket);
    });
}

void ChatSession::ImpostaIntervallo() {
    int interval = kActiveIntervalMs;
    if (m_idTicket == 0)
        interval = kNoTicketIntervalMs;
    else if (minutesBetween(m_dataUltimoMsg, m_clock.now()) > kActiveMinutes)
        interval = kIdleIntervalMs;
    m_timer.setInterval(interval);
    m_timer.enable();
}

void ChatSession::AggiornaChat(Done done) {
    fetchMessages(0, done);
}

// A backlog arrives one message per answer; each answer asks for the next from the event loop,
// so the stack stays flat however long the backlog is.
void ChatSession::fetchMessages(int run, Done done) {
    const qint16 typing = m_view.isShown() && !m_view.inputText().isEmpty() ? 1 : 0;
    m_service.post(kEndpointTre, BuildGetChat(m_idTicket, m_idUltimoMsg, typing, state().VatNumber),
                   [this, run, done](const QString &answer) {
                       Message message;
                       if (!readAnswer(answer, &message))
                           return endRun(run > 0, done);
                       showMessage(message, [this, run, done] {
                           if (run + 1 < kMessagesPerRun)
                               fetchMessages(run + 1, done);
                           else
                               endRun(true, done);
                       });
                   });
}

void ChatSession::endRun(bool delivered, Done done) {
    // After the end of the chat the pace without a ticket holds: a quick tick would only ask
    // for a ticket that is not there.
    if (delivered && m_idTicket != 0)
        m_timer.setInterval(kFollowUpIntervalMs);
    done();
}

bool ChatSession::readAnswer(const QString &answer, Message *message) {
    const auto field = [&answer](const char *name) {
        return GetXmlValue(answer, kGetChatField + QLatin1String(name));
    };
    const QString status = field("status");
    if (status != kStatusOk) {
        const bool ended = status == kStatusNoTicket;
        if (ended)
            setIdTicket(0);
        ImpostaIntervallo();
        if (ended)
            m_view.showBalloon(kEndOfChat);
        return false;
    }

    message->id = readInt32(field("id"));
    // Without an id there is nothing to mark read, and no bubble of an earlier message is
    // overwritten with it. An id that does not advance would ask for the same message for
    // ever. (The last id is never below 0.)
    if (message->id <= m_idUltimoMsg) {
        if (message->id > 0)
            WriteLog(QStringLiteral("getchat: id %1 non successivo all'ultimo letto %2, ignorato")
                         .arg(message->id)
                         .arg(m_idUltimoMsg));
        ImpostaIntervallo();
        return false;
    }
    if (const auto data = ServiceDate::parse(field("data")))
        m_dataUltimoMsg = *data;
    message->testo = HtmlToText(field("testo"));
    message->idOperatore = readInt32(field("idoperatore"));
    message->attach = readInt16(field("attach"));
    message->letto = readInt16(field("letto"));
    return true;
}

void ChatSession::showMessage(const Message &message, Done done) {
    m_view.showWindow();
    m_idUltimoMsg = message.id;
    SegnaLetto(message.id, [this, message, done] {
        const bool fromOperator = message.idOperatore > 0;
        if (fromOperator)
            m_view.beep();
        m_view.showAsForMessage();

        ChatMessage shown;
        shown.time = m_dataUltimoMsg.toString(kBubbleTimeFormat);
        shown.idOperatore = message.idOperatore;
        shown.text = carryOutRemoteAssistance(message);
        shown.isPicture = message.attach == 1;
        shown.backColor =
            fromOperator ? BubbleColours::kOperatorBack : BubbleColours::kCustomerBack;
        shown.foreColor =
            fromOperator ? BubbleColours::kOperatorFore : BubbleColours::kCustomerFore;
        const auto add = [this, done](const ChatMessage &ready) {
            m_view.addMessage(ready);
            done();
        };
        if (shown.isPicture)
            return fetchAttachment(shown.text, fromOperator, [add, shown] { add(shown); });
        const LinkCheck link = IsLink(shown.text);
        shown.isLink = link.isLink;
        if (!link.probe.isValid())
            return add(shown);
        m_service.probeLink(link.probe, [add, shown](bool answersOk) mutable {
            shown.isLink = answersOk;
            add(shown);
        });
    });
}

QString ChatSession::carryOutRemoteAssistance(const Message &message) {
    if (message.testo != kRemoteAssistanceCommand || message.idOperatore <= 0)
        return message.testo;
    const QString tool = QDir::cleanPath(state().ApplicationFolder + kRemoteAssistanceTool);
    if (!FileExists(tool))
        return kRemoteAssistanceMissing;
    // A message read before is a replay of an old conversation: the tool ran then. A command
    // repeated while the tool runs, or within a minute, starts nothing more.
    const QDateTime now = m_clock.now();
    const bool startedLately = m_toolStartedAt.isValid() &&
                               m_toolStartedAt.secsTo(now) < kToolRestartSeconds &&
                               m_toolStartedAt <= now;
    if (message.letto == 0 && !startedLately && !m_view.programRunning()) {
        if (!m_view.startProgram(tool))
            return kRemoteAssistanceMissing;
        m_toolStartedAt = now;
    }
    return kRemoteAssistanceStarted;
}

void ChatSession::fetchAttachment(const QString &fileName, bool fromOperator, Done done) {
    const QString localPath = pictureFolder() + fileName;
    // The customer's own screenshots are already in the folder; a name with a folder part
    // would write outside it. A failed download shows the bubble without its picture.
    if (fromOperator && IsPlainFileName(fileName) && !FileExists(localPath))
        m_service.downloadPicture(fileName, localPath, [done](bool) { done(); });
    else
        done();
}

void ChatSession::SegnaLetto(qint32 messageId, Done done) {
    m_service.post(kEndpointDue, BuildSetReadChat(messageId), [done](const QString &) { done(); });
}

void ChatSession::postSetChat(const QString &text, bool attach, Then then) {
    m_service.post(
        kEndpointTre, BuildSetChat(text, m_idTicket, attach),
        [then](const QString &answer) { then(GetXmlValue(answer, kSetChatStatus) == kStatusOk); });
}

QString ChatSession::pictureFolder() const {
    return state().ApplicationFolder + kPictureFolder;
}
