#include "ChatFakes.h"
#include "ScriptedService.h"

#include "chat/ChatSession.h"
#include "chat/LiveChatService.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

using Behaviour = ScriptedService::Behaviour;
using Reply = ScriptedService::Reply;

Q_DECLARE_METATYPE(ScriptedService::Behaviour)

namespace {

// Long enough for any loopback answer on a busy machine, short enough that a silent service
// costs the test seconds rather than the half minute the client allows.
constexpr int kTimeLimitMs = 3000;
constexpr int kNoTicketIntervalMs = 60000;
constexpr int kActiveIntervalMs = 2000;
constexpr int kIdleIntervalMs = 20000;
constexpr int kFollowUpIntervalMs = 500;
const QString kVatNumber = QStringLiteral("01234567890");
const QString kGetTicket = QStringLiteral("getticket");
const QString kTyped = QStringLiteral("Buongiorno, la stampa non parte");
const QString kNoTicketWarning =
    QStringLiteral("warning Nessun ticket abilitato per la gestione a mezzo chat.");

Reply answer(const QString &body) {
    return {Behaviour::Answer, body};
}
Reply misbehave(Behaviour behaviour) {
    return {behaviour, QString()};
}
// A message written two minutes before the fake clock's now: the session polls every 2 s.
Reply message(qint64 id, const QString &testo, qint32 idOperatore = 7) {
    Answers::Message m;
    m.id = id;
    m.idOperatore = idOperatore;
    m.testo = testo;
    return answer(Answers::message(m));
}

void addMisbehaviourRows() {
    QTest::addColumn<Behaviour>("behaviour");
    QTest::newRow("answer that is not XML") << Behaviour::NotXml;
    QTest::newRow("HTTP 500 error page") << Behaviour::ServerErrorPage;
    QTest::newRow("SOAP fault") << Behaviour::SoapFault;
    QTest::newRow("message answer cut short") << Behaviour::TruncatedXml;
    QTest::newRow("50 MB body with its length") << Behaviour::HugeBody;
    QTest::newRow("50 MB body in chunks") << Behaviour::HugeBodyWithoutLength;
    QTest::newRow("connection accepted, never answered") << Behaviour::NeverAnswers;
    QTest::newRow("connection closed mid-answer") << Behaviour::ClosesMidAnswer;
}

} // namespace

// The chat session with its real HTTP adapter against a service that misbehaves: it stays
// alive, polls at the intervals it should, keeps what the customer typed and picks up again
// where it left off.
class TestResilience : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void misbehavingPollDeliversNothing_data() { addMisbehaviourRows(); }
    void misbehavingPollDeliversNothing();
    void refusedSendKeepsTheTypedText_data();
    void refusedSendKeepsTheTypedText();
    void misbehavingTicketAnswerMeansNoTicket_data() { addMisbehaviourRows(); }
    void misbehavingTicketAnswerMeansNoTicket();
    void serviceGoneAndBack();

private:
    QStringList bubbleTexts() const;

    QTemporaryDir m_folder;
    EffectLog m_log;
    std::unique_ptr<ScriptedService> m_service;
    std::unique_ptr<LiveChatService> m_live;
    std::unique_ptr<FakeChatView> m_view;
    std::unique_ptr<FakePollTimer> m_timer;
    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<FakeTray> m_tray;
    std::unique_ptr<ChatSession> m_session;
};

void TestResilience::init() {
    QVERIFY(m_folder.isValid());
    m_log.clear();
    m_service = std::make_unique<ScriptedService>();
    qputenv("BRENNO_SERVICE_URL", m_service->baseUrl().toUtf8());
    AppState &state = AppState::instance();
    state.VatNumber = kVatNumber;
    state.IdTicket = 0;
    state.ApplicationFolder = m_folder.path();
    m_live = std::make_unique<LiveChatService>(kTimeLimitMs);
    m_view = std::make_unique<FakeChatView>(m_log);
    m_timer = std::make_unique<FakePollTimer>(m_log);
    m_clock = std::make_unique<FakeClock>();
    m_tray = std::make_unique<FakeTray>(m_log);
    state.trayForm = m_tray.get();
    m_session = std::make_unique<ChatSession>(*m_live, *m_view, *m_timer, *m_clock);
}

void TestResilience::cleanup() {
    m_session.reset();
    AppState::instance().trayForm = nullptr;
    m_service.reset();
}

QStringList TestResilience::bubbleTexts() const {
    QStringList texts;
    for (const QVariantMap &bubble : std::as_const(m_view->bubbles))
        texts << bubble.value(QStringLiteral("Testo")).toString();
    return texts;
}

void TestResilience::misbehavingPollDeliversNothing() {
    QFETCH(Behaviour, behaviour);
    m_service->script(QStringLiteral("getchat"),
                      {message(1, QStringLiteral("primo")), misbehave(behaviour),
                       misbehave(behaviour), message(2, QStringLiteral("secondo"))});

    m_session->InizializzaChat();
    QCOMPARE(m_timer->interval, kIdleIntervalMs);
    // The run of messages ends in the broken answer: still the quick follow-up.
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kFollowUpIntervalMs);
    // A broken answer alone: the recent conversation keeps the quick pace.
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kActiveIntervalMs);
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kFollowUpIntervalMs);

    QCOMPARE(bubbleTexts(), (QStringList{"primo", "secondo"}));
    QCOMPARE(AppState::instance().IdTicket, ScriptedService::kTicketId);
    QCOMPARE(
        m_service->requests(),
        (QStringList{kGetTicket, "getchat letto=0", "setreadchat 1", "getchat letto=1",
                     "getchat letto=1", "getchat letto=1", "setreadchat 2", "getchat letto=2"}));
}

void TestResilience::refusedSendKeepsTheTypedText_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QStringList>("effects");

    const QStringList setChatRefused{"setchat " + kTyped};
    const QStringList noTicket{kNoTicketWarning};
    const struct {
        const char *name;
        Behaviour behaviour;
    } failures[] = {
        {"not XML", Behaviour::NotXml},
        {"HTTP 500 page", Behaviour::ServerErrorPage},
        {"cut short", Behaviour::TruncatedXml},
        {"50 MB body", Behaviour::HugeBody},
        {"never answered", Behaviour::NeverAnswers},
        {"closed mid-answer", Behaviour::ClosesMidAnswer},
    };
    for (const auto &failure : failures) {
        QTest::addRow("setchat %s: text kept", failure.name)
            << "setchat" << failure.behaviour << setChatRefused;
        QTest::addRow("getticket %s: warning, text kept", failure.name)
            << "getticket" << failure.behaviour << noTicket;
    }
}

void TestResilience::refusedSendKeepsTheTypedText() {
    QFETCH(QString, operation);
    QFETCH(Behaviour, behaviour);
    QFETCH(QStringList, effects);
    m_session->InizializzaChat();
    m_service->script(operation, {misbehave(behaviour)});
    m_service->script(QStringLiteral("getchat"), {message(1, kTyped, 0)});
    m_view->shown = true;
    m_view->input = kTyped;

    m_session->sendMessage();
    QCOMPARE(m_view->input, kTyped);
    QVERIFY(!m_log.contains(QStringLiteral("clear input")));
    const qsizetype firstAttempt = m_service->requests().size();
    QCOMPARE(m_service->requests().mid(1), QStringList{kGetTicket} + effects.filter("setchat"));
    QCOMPARE(m_log.filter(QStringLiteral("warning")), effects.filter(QStringLiteral("warning")));

    // The service answers again: the same text goes out, comes back and leaves the box.
    m_session->sendMessage();
    QCOMPARE(m_service->requests().mid(firstAttempt),
             (QStringList{kGetTicket, "setchat " + kTyped, "getchat letto=0", "setreadchat 1",
                          "getchat letto=1"}));
    QCOMPARE(bubbleTexts(), QStringList{kTyped});
    QCOMPARE(m_view->input, QString());
}

void TestResilience::misbehavingTicketAnswerMeansNoTicket() {
    QFETCH(Behaviour, behaviour);
    m_service->script(kGetTicket, {misbehave(behaviour), misbehave(behaviour)});

    m_session->InizializzaChat();
    QCOMPARE(AppState::instance().IdTicket, 0);
    QCOMPARE(m_timer->interval, kNoTicketIntervalMs);
    m_session->onTimerTick();
    QCOMPARE(AppState::instance().IdTicket, 0);
    m_session->onTimerTick();
    QCOMPARE(AppState::instance().IdTicket, ScriptedService::kTicketId);
    QCOMPARE(m_service->requests(), (QStringList{kGetTicket, kGetTicket, kGetTicket}));
}

void TestResilience::serviceGoneAndBack() {
    m_service->script(QStringLiteral("getchat"), {message(1, QStringLiteral("primo"))});
    m_session->InizializzaChat();
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kFollowUpIntervalMs);

    m_service->goAway();
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kActiveIntervalMs);
    m_view->shown = true;
    m_view->input = kTyped;
    m_session->sendMessage();
    QCOMPARE(m_log.filter(QStringLiteral("warning")), QStringList{kNoTicketWarning});
    QCOMPARE(AppState::instance().IdTicket, 0);
    QCOMPARE(m_view->input, kTyped);
    // Without a ticket each tick asks for one; the pace stays as it was.
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kActiveIntervalMs);

    QVERIFY(m_service->comeBack());
    m_service->script(QStringLiteral("getchat"), {message(2, QStringLiteral("secondo"))});
    m_session->onTimerTick();
    QCOMPARE(AppState::instance().IdTicket, ScriptedService::kTicketId);
    m_session->onTimerTick();
    QCOMPARE(m_timer->interval, kFollowUpIntervalMs);
    m_session->sendMessage();
    QCOMPARE(m_view->input, QString());

    QCOMPARE(bubbleTexts(), (QStringList{"primo", "secondo"}));
    // Polling picks up after the last message seen before the outage.
    QCOMPARE(m_service->requests(),
             (QStringList{kGetTicket, "getchat letto=0", "setreadchat 1", "getchat letto=1",
                          kGetTicket, "getchat letto=1", "setreadchat 2", "getchat letto=2",
                          kGetTicket, "setchat " + kTyped, "getchat letto=2"}));
}

QTEST_GUILESS_MAIN(TestResilience)
#include "tst_resilience.moc"
