#include "ChatFakes.h"
#include "LoopbackServer.h"

#include "core/AppState.h"
#include "session/ChatSession.h"
#include "session/LiveChatService.h"

#include <QTest>

#include <thread>

// The session with its real adapter against a late, then absent service: nothing typed is lost,
// no late message taken (it would be marked read), and it picks up after the last one it saw.
class TestResilience : public QObject {
    Q_OBJECT
private slots:
    void misbehavingServiceIsSurvived();
};

void TestResilience::misbehavingServiceIsSurvived() {
    const QString setChat = QStringLiteral("setchat QnVvbmdpb3JubywgbGEgc3RhbXBhIG5vbiBwYXJ0ZQ==");
    const QString ticket = Answers::status("getticket", "OK", "<id>57</id>"),
                  sent = Answers::status("setchat", "OK");
    const QString read = Answers::status("setreadchat", "OK"),
                  none = Answers::status("getchat", "NOMSG");
    const QString primo = Answers::message({1, 7, "primo"}),
                  secondo = Answers::message({2, 7, "secondo"});
    // Each request as its operation and the last message read, the one marked read or the text,
    // and its answer, an empty one late; the service is away for the second message typed.
    const QStringList expected{"getticket", "getticket", "getchat 0", "setreadchat 1",
                               "getchat 1", "getticket", setChat,     "getticket",
                               "getticket", setChat,     "getchat 1", "setreadchat 2",
                               "getchat 2"};
    const QStringList answers{"",     ticket, primo, read,    "",   ticket, "",
                              ticket, ticket, sent,  secondo, read, none};
    LoopbackServer server;
    server.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_(due|tre)\.php)",
                         [&](const httplib::Request &, httplib::Response &response) {
                             const QString reply = answers.value(server.requests().size() - 1);
                             // A message the client must never show: it only ever arrives late.
                             if (reply.isEmpty())
                                 std::this_thread::sleep_for(std::chrono::seconds(5));
                             response.set_content(
                                 reply.isEmpty()
                                     ? Answers::message({99, 7, "mai visto"}).toStdString()
                                     : reply.toStdString(),
                                 "text/xml");
                         });
    server.start();
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(server.baseUrl()));
    AppState::instance().VatNumber = QStringLiteral("01234567890");
    FakeChatView view;
    FakePollTimer timer;
    FakeClock clock;
    LiveChatService live(3000); // enough for any loopback answer; a late one costs seconds

    ChatSession session(live, view, timer, clock);

    // A request of the customer's that is done tells that the whole queue before it is done.
    const auto sendAndWait = [&] {
        session.sendMessage();
        QTRY_COMPARE_WITH_TIMEOUT(view.pendingRequests, 0, 30000);
    };
    session.InizializzaChat();
    session.onTimerTick();
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), size_t(2), 30000);
    QTest::qWait(200); // the ticket read from the second answer
    session.onTimerTick();
    view.input = QStringLiteral("Buongiorno, la stampa non parte");
    sendAndWait();
    QCOMPARE(view.input, QStringLiteral("Buongiorno, la stampa non parte"));
    server.stop();
    sendAndWait();
    server.start(server.port());
    session.onTimerTick();
    sendAndWait();
    QCOMPARE(view.input, QString());
    static const QRegularExpression parts(
        "<chat:(\\w+) (?:[\\s\\S]*<(?:letto|id|testo) [^>]*>([^<]*)<)?");
    QStringList requests;
    for (const LoopbackServer::Request &request : server.requests()) {
        const auto match = parts.match(QString::fromStdString(request.body));
        requests << (match.captured(1) + ' ' + match.captured(2)).trimmed();
    }
    QCOMPARE(requests, expected);
}

QTEST_GUILESS_MAIN(TestResilience)
#include "tst_resilience.moc"
