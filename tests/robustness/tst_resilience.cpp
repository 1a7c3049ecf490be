#include "ChatFakes.h"
#include "LoopbackServer.h"

#include "chat/ChatSession.h"
#include "chat/LiveChatService.h"

#include <QScopeGuard>
#include <QSemaphore>
#include <QTest>

#include <mutex>

namespace {

// Long enough for any loopback answer on a busy machine, short enough that a silent service
// costs the test seconds rather than the half minute the client allows.
constexpr int kTimeLimitMs = 3000;
constexpr int kNoTicketIntervalMs = 60000;
constexpr int kActiveIntervalMs = 2000;
constexpr int kFollowUpIntervalMs = 500;
constexpr size_t kHugeTextBytes = 50 * 1024 * 1024;
constexpr int kHeldAnswersAtMost = 8; // more than a script ever holds back
constexpr qint32 kTicketId = 57;
const QString kTyped = QStringLiteral("Buongiorno, la stampa non parte");
// In a script, the answer that misbehaves as the test row says.
const QString kMisbehave;

enum class Behaviour { NotXml, ErrorPage, CutShort, Huge, Silent, ClosedMidway };

QString capture(const QString &text, const QString &pattern) {
    return QRegularExpression(pattern).match(text).captured(1);
}

void misbehave(Behaviour behaviour, QSemaphore &held, httplib::Response &response) {
    // A message the client must never show: it only ever arrives broken.
    const std::string broken = Answers::message({99, 7, "mai visto"}).toStdString();
    switch (behaviour) {
    case Behaviour::NotXml:
        return response.set_content("Servizio momentaneamente non disponibile", "text/plain");
    case Behaviour::ErrorPage:
        response.status = 500;
        return response.set_content("<html><h1>Internal Server Error</h1></html>", "text/html");
    case Behaviour::CutShort:
        return response.set_content(broken.substr(0, broken.find("</id>")), "text/xml");
    case Behaviour::Huge: {
        // Well formed, only too big to take in.
        std::string huge = broken;
        return response.set_content(huge.insert(broken.find("mai visto"), kHugeTextBytes, 'a'),
                                    "text/xml");
    }
    case Behaviour::Silent:
        held.acquire();
        return response.set_content(broken, "text/xml");
    case Behaviour::ClosedMidway:
        return response.set_content_provider(
            broken.size(), "text/xml", [broken](size_t offset, size_t, httplib::DataSink &sink) {
                // Half the promised bytes, then the connection drops.
                if (offset == 0)
                    sink.write(broken.data(), broken.size() / 2);
                return false;
            });
    }
}

} // namespace

Q_DECLARE_METATYPE(Behaviour)

// The chat session with its real HTTP adapter against a service that misbehaves: it stays
// alive, polls at the intervals it should, keeps what the customer typed and picks up again
// where it left off.
class TestResilience : public QObject {
    Q_OBJECT
private slots:
    void misbehavingServiceIsSurvived_data();
    void misbehavingServiceIsSurvived();
};

void TestResilience::misbehavingServiceIsSurvived_data() {
    QTest::addColumn<Behaviour>("behaviour");
    QTest::newRow("answer that is not XML") << Behaviour::NotXml;
    QTest::newRow("HTTP 500 error page") << Behaviour::ErrorPage;
    QTest::newRow("message answer cut short") << Behaviour::CutShort;
    QTest::newRow("50 MB body") << Behaviour::Huge;
    QTest::newRow("connection accepted, never answered") << Behaviour::Silent;
    QTest::newRow("connection closed mid-answer") << Behaviour::ClosedMidway;
}

// Ticket, poll and send each meet the broken answer; then the service goes away and comes back.
void TestResilience::misbehavingServiceIsSurvived() {
    QFETCH(Behaviour, behaviour);
    std::mutex mutex;
    const QMap<QString, QString> ordinary{
        {"getticket",
         Answers::status("getticket", "OK", QStringLiteral("<id>%1</id>").arg(kTicketId))},
        {"getchat", Answers::status("getchat", "NOMSG")}};
    // Answers by operation, in turn; then the ordinary one.
    QMap<QString, QStringList> scripts{{"getticket", {kMisbehave}},
                                       {"getchat",
                                        {Answers::message({1, 7, "primo"}), kMisbehave, kMisbehave,
                                         Answers::message({2, 7, "secondo"})}},
                                       {"setchat", {kMisbehave}}};
    // One line a request: its operation and what sets it apart (the last message read, the
    // message marked read, the Base64 text).
    QStringList requests;
    QSemaphore held;
    LoopbackServer server;
    const auto answer = [&](const httplib::Request &request, httplib::Response &response) {
        const QString envelope = QString::fromStdString(request.body);
        const QString operation = capture(envelope, "<chat:(\\w+) ");
        const QString key = capture(envelope, "(?s).*<(?:letto|id|testo) [^>]*>([^<]*)<");
        std::unique_lock<std::mutex> lock(mutex);
        requests << (operation + ' ' + key).trimmed();
        QStringList &script = scripts[operation];
        const QString reply = script.isEmpty()
                                  ? ordinary.value(operation, Answers::status(operation, "OK"))
                                  : script.takeFirst();
        lock.unlock();
        if (reply.isEmpty())
            return misbehave(behaviour, held, response);
        response.set_content(reply.toStdString(), "text/xml; charset=utf-8");
    };
    server.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_(due|tre)\.php)", answer);
    server.start();
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(server.baseUrl()));
    AppState &state = AppState::instance();
    state.VatNumber = QStringLiteral("01234567890");
    state.IdTicket = 0;
    EffectLog log;
    FakeChatView view(log);
    FakePollTimer timer(log);
    FakeClock clock;
    LiveChatService live(kTimeLimitMs);
    ChatSession session(live, view, timer, clock);
    // The server cannot stop while a handler waits.
    const auto tidyUp = qScopeGuard([&] { held.release(kHeldAnswersAtMost); });

    session.InizializzaChat();
    QCOMPARE(timer.interval, kNoTicketIntervalMs);
    session.onTimerTick();
    // The run of messages ends in the broken answer: still the quick follow-up.
    session.onTimerTick();
    QCOMPARE(timer.interval, kFollowUpIntervalMs);
    // A broken answer alone: the recent conversation keeps the quick pace.
    session.onTimerTick();
    QCOMPARE(timer.interval, kActiveIntervalMs);
    session.onTimerTick();
    QCOMPARE(timer.interval, kFollowUpIntervalMs);
    view.shown = true;
    view.input = kTyped;
    session.sendMessage();
    QCOMPARE(view.input, kTyped);

    const int port = server.port();
    held.release(kHeldAnswersAtMost);
    server.stop();
    session.onTimerTick();
    QCOMPARE(timer.interval, kActiveIntervalMs);
    session.sendMessage();
    QCOMPARE(log.filter("warning"),
             QStringList{"warning Nessun ticket abilitato per la gestione a mezzo chat."});
    QCOMPARE(view.input, kTyped);
    // Without a ticket each tick asks for one; the pace stays as it was.
    session.onTimerTick();
    QCOMPARE(timer.interval, kActiveIntervalMs);

    server.start(port);
    scripts = {{"getchat", {Answers::message({3, 7, "terzo"})}}};
    session.onTimerTick();
    session.onTimerTick();
    QCOMPARE(timer.interval, kFollowUpIntervalMs);
    session.sendMessage();
    QCOMPARE(view.input, QString());

    QCOMPARE(log.filter("Testo="), (QStringList{"bubble 14:05 7 ff8400/ffffff Testo=primo",
                                                "bubble 14:05 7 ff8400/ffffff Testo=secondo",
                                                "bubble 14:05 7 ff8400/ffffff Testo=terzo"}));
    // Polling picks up after the last message seen before the outage.
    const QString setChat = "setchat " + kTyped.toLatin1().toBase64();
    const std::lock_guard<std::mutex> lock(mutex);
    QCOMPARE(requests,
             (QStringList{"getticket", "getticket", "getchat 0", "setreadchat 1", "getchat 1",
                          "getchat 1", "getchat 1", "setreadchat 2", "getchat 2", "getticket",
                          setChat, "getticket", "getchat 2", "setreadchat 3", "getchat 3",
                          "getticket", setChat, "getchat 3"}));
}

QTEST_GUILESS_MAIN(TestResilience)
#include "tst_resilience.moc"
