#include "chat/ChatSession.h"

#include "bubble/BubbleColours.h"
#include "bubble/TextHelpers.h"
#include "chat/ChatService.h"
#include "chat/ChatView.h"
#include "chat/IsLink.h"
#include "chat/OutgoingPicture.h"
#include "chat/PictureFileName.h"
#include "chat/PollTimer.h"
#include "chat/ServiceDate.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "core/DiagnosticLog.h"
#include "core/FileChecks.h"
#include "core/IsPlainFileName.h"
#include "core/Numbers.h"
#include "core/ServiceProtocol.h"
#include "service/Envelopes.h"
#include "service/GetXmlValue.h"

#include <QDir>
#include <QScopeGuard>

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
// A longer backlog goes on at the next follow-up tick, so that the window and the tray menu
// answer between runs.
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

// Timer ticks arrive from nested event loops (exchanges, message boxes, the pause before a
// capture); they must not start a second operation inside the running one.
template<typename Operation> void ChatSession::exclusively(Operation operation) {
    if (m_busy)
        return;
    m_busy = true;
    const auto leave = qScopeGuard([this] { m_busy = false; });
    operation();
}

void ChatSession::InizializzaChat() {
    if (state().VatNumber.isEmpty()) {
        m_view.endProcess();
        return;
    }
    RichiediTicket();
    ImpostaIntervallo();
}

void ChatSession::onTimerTick() {
    if (m_service.exchangeInProgress())
        return;
    exclusively([this] {
        if (state().IdTicket != 0)
            AggiornaChat();
        else
            RichiediTicket();
    });
}

void ChatSession::sendMessage() {
    exclusively([this] {
        if (!confirmTicket())
            return;
        const QString text = m_view.inputText();
        if (text.isEmpty() || !postSetChat(text, false))
            return;
        m_dataUltimoMsg = m_clock.now();
        AggiornaChat();
        m_view.clearInput();
    });
}

void ChatSession::sendScreenshot() {
    exclusively([this] {
        if (!confirmTicket())
            return;
        if (!m_view.askYesNo(kScreenshotQuestion))
            return;
        m_view.hideWindow();
        const auto showAgain = qScopeGuard([this] { m_view.showForUser(); });
        const QString fileName = PictureFileName::of(state().IdTicket, m_clock.now());
        m_view.waitForScreenToSettle();
        // Announcing a picture that was never written would show the operator a broken file.
        if (!m_view.captureScreen(pictureFolder() + fileName))
            return;
        uploadAndAnnounce(fileName);
    });
}

void ChatSession::sendPicture(const QImage &picture) {
    exclusively([this, &picture] {
        if (!confirmTicket())
            return;
        const QString fileName =
            PictureFileName::freeIn(QDir(pictureFolder()), state().IdTicket, m_clock.now());
        const QString error = OutgoingPicture::writeJpeg(picture, pictureFolder() + fileName);
        if (!error.isEmpty()) {
            WriteLog(fileName + QStringLiteral(": ") + error);
            m_view.showWarning(kPictureNotSent);
            return;
        }
        uploadAndAnnounce(fileName);
    });
}

void ChatSession::uploadAndAnnounce(const QString &fileName) {
    // A picture the service never got must not be announced; the file stays for a retry.
    if (!m_service.uploadFile(pictureFolder() + fileName)) {
        m_view.showForUser();
        m_view.showWarning(kPictureNotSent);
        return;
    }
    if (!postSetChat(fileName, true))
        return;
    m_dataUltimoMsg = m_clock.now();
    AggiornaChat();
}

void ChatSession::RichiediTicket() {
    const QString answer = m_service.post(kEndpointDue, BuildGetTicket(state().VatNumber));
    qint32 idTicket = 0;
    if (GetXmlValue(answer, kGetTicketStatus) == kStatusOk)
        idTicket = readInt32(GetXmlValue(answer, kGetTicketId));
    state().IdTicket = idTicket;
}

bool ChatSession::confirmTicket() {
    RichiediTicket();
    if (state().IdTicket != 0)
        return true;
    m_view.showWarning(kNoTicketWarning);
    return false;
}

void ChatSession::ImpostaIntervallo() {
    int interval = kActiveIntervalMs;
    if (state().IdTicket == 0)
        interval = kNoTicketIntervalMs;
    else if (minutesBetween(m_dataUltimoMsg, m_clock.now()) > kActiveMinutes)
        interval = kIdleIntervalMs;
    m_timer.setInterval(interval);
    m_timer.enable();
}

// A backlog arrives one message per answer; a loop keeps the stack flat however long it is.
void ChatSession::AggiornaChat() {
    m_view.setCanvasVisible(false);
    const auto showCanvas = qScopeGuard([this] { m_view.setCanvasVisible(true); });
    bool delivered = false;
    for (int run = 0; run < kMessagesPerRun && fetchNextMessage(); ++run)
        delivered = true;
    // After the end of the chat the pace without a ticket holds: a quick tick would only ask
    // for a ticket that is not there.
    if (delivered && state().IdTicket != 0)
        m_timer.setInterval(kFollowUpIntervalMs);
}

bool ChatSession::fetchNextMessage() {
    const qint16 typing = m_view.isShown() && !m_view.inputText().isEmpty() ? 1 : 0;
    const QString answer = m_service.post(
        kEndpointTre, BuildGetChat(state().IdTicket, m_idUltimoMsg, typing, state().VatNumber));
    const auto field = [&answer](const char *name) {
        return GetXmlValue(answer, kGetChatField + QLatin1String(name));
    };

    const QString status = field("status");
    if (status != kStatusOk) {
        const bool ended = status == kStatusNoTicket;
        if (ended)
            state().IdTicket = 0;
        ImpostaIntervallo();
        if (TrayNotifier *tray = state().trayForm; ended && tray)
            tray->ShowMessageTray(kEndOfChat);
        return false;
    }

    Message message;
    message.id = readInt32(field("id"));
    // Without an id there is nothing to mark read, and no bubble of an earlier message is
    // overwritten with it. An id that does not advance would ask for the same message for
    // ever, with the window taken over by the run. (The last id is never below 0.)
    if (message.id <= m_idUltimoMsg) {
        if (message.id > 0)
            WriteLog(QStringLiteral("getchat: id %1 non successivo all'ultimo letto %2, ignorato")
                         .arg(message.id)
                         .arg(m_idUltimoMsg));
        ImpostaIntervallo();
        return false;
    }
    if (const auto data = ServiceDate::parse(field("data")))
        m_dataUltimoMsg = *data;
    message.testo = HtmlToText(field("testo"));
    message.idOperatore = readInt32(field("idoperatore"));
    message.attach = readInt16(field("attach"));
    message.letto = readInt16(field("letto"));
    showMessage(message);
    return true;
}

void ChatSession::showMessage(const Message &message) {
    m_view.showWindow();
    SegnaLetto(message.id);
    m_idUltimoMsg = message.id;

    const bool fromOperator = message.idOperatore > 0;
    if (fromOperator)
        m_view.beep();
    m_view.showAsForMessage();

    ChatMessage shown;
    shown.time = m_dataUltimoMsg.toString(kBubbleTimeFormat);
    shown.idOperatore = message.idOperatore;
    shown.text = carryOutRemoteAssistance(message);
    shown.isPicture = message.attach == 1;
    if (shown.isPicture)
        fetchAttachment(shown.text, fromOperator);
    else
        shown.isLink =
            IsLink(shown.text, [this](const QUrl &url) { return m_service.probeLink(url); });
    shown.backColor = fromOperator ? BubbleColours::kOperatorBack : BubbleColours::kCustomerBack;
    shown.foreColor = fromOperator ? BubbleColours::kOperatorFore : BubbleColours::kCustomerFore;
    m_view.addMessage(shown);
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

void ChatSession::fetchAttachment(const QString &fileName, bool fromOperator) {
    const QString localPath = pictureFolder() + fileName;
    // The customer's own screenshots are already in the folder; a name with a folder part
    // would write outside it.
    if (fromOperator && IsPlainFileName(fileName) && !FileExists(localPath))
        m_service.downloadPicture(fileName, localPath);
}

void ChatSession::SegnaLetto(qint32 messageId) {
    m_service.post(kEndpointDue, BuildSetReadChat(messageId));
}

bool ChatSession::postSetChat(const QString &text, bool attach) {
    const QString answer =
        m_service.post(kEndpointTre, BuildSetChat(text, state().IdTicket, attach));
    return GetXmlValue(answer, kSetChatStatus) == kStatusOk;
}

QString ChatSession::pictureFolder() const {
    return state().ApplicationFolder + kPictureFolder;
}
