#include "ChatFakes.h"

#include "core/AppState.h"
#include "session/ChatSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QString kCommand = QStringLiteral("[CMD]supremo");
// An operator's text bubble at 14:05.
const auto op = [](const QString &text) { return "bubble 14:05 7 #0084ff/#ffffff Testo=" + text; };
const QString kStarted = op("L'operatore ha avviato SupRemo..");

struct Rig {
    EffectLog log;
    FakeChatService service{log};
    FakeChatView view{log};
    FakePollTimer timer{log};
    FakeClock clock; // 2024-03-05 14:07:09
    ChatSession session{service, view, timer, clock};
};
// What a row arranges and does to the started session.
using Act = std::function<void(Rig &)>;
} // namespace

Q_DECLARE_METATYPE(Act)

class TestChatSession : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;
    std::unique_ptr<Rig> m;

    // The session started with ticket 57 and its log emptied.
    void start() {
        m->session.InizializzaChat();
        m->service.answerAll();
        m->log.clear();
    }
    QStringList effects(const QString &pattern) {
        return m->log.replaceInStrings(m_root.path(), "ROOT").filter(QRegularExpression(pattern));
    }

private slots:
    void init() {
        m = std::make_unique<Rig>();
        AppState &state = AppState::instance();
        state.VatNumber = QStringLiteral("01234567890");
        state.ApplicationFolder = m_root.filePath("app");
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(state.ApplicationFolder + "/TempImg"));
        QVERIFY(QFile(m_root.filePath("DAruzeve.exe")).open(QIODevice::WriteOnly));
    }

    // One tick with these answers, or one thing the customer does after asking for the ticket.
    // The box holds text, but the window is hidden: it does not type. "whole" compares the
    // whole log, else what the messages caused and the paces but the follow-up.
    void session_data() {
        QTest::addColumn<Act>("act");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QStringList>("effects");
        const auto poll = [](
                              const char *name, const QStringList &answers,
                              const QStringList &effects, bool whole = false,
                              const Act &arrange = [](Rig &) {}) {
            QTest::newRow(name) << Act([=](Rig &r) {
                arrange(r);
                r.service.chatAnswers = answers;
                r.session.onTimerTick();
            }) << whole << effects;
        };
        const auto act = [](const char *name, const Act &act, const QStringList &effects) {
            QTest::newRow(name) << act << true
                                << QStringList{"due:getticket 01234567890"} + effects;
        };
        const auto command = [](qint64 id, qint64 from = 7, int letto = 0) {
            return Answers::message({id, from, kCommand, 0, letto});
        };
        // Up to 14:07:09 the last message crossed 10 minute boundaries: still the quick pace.
        poll("shown in order, each read; a repeated id is none; 10 boundaries: active",
             {Answers::message({11, 7, "uno"}),
              Answers::message({12, 0, "due<br>righe", 0, 0, "2024-03-05 13:57:00.250123"}),
              Answers::message({12, 7})},
             {"tre:getchat 57 0 0 01234567890", "show", "due:setreadchat 11", "beep",
              "show in corner", op("uno"), "tre:getchat 57 11 0 01234567890", "show",
              "due:setreadchat 12", "show in corner",
              "bubble 13:57 0 #e3e8f0/#000000 Testo=due\r\nrighe",
              "tre:getchat 57 12 0 01234567890", "interval 2000", "enable", "interval 500"},
             true);
        poll("11 boundaries: the idle pace",
             {Answers::message({1, 7, "ciao", 0, 0, "2024-03-05 13:56:59"})},
             {"bubble 13:56 7 #0084ff/#ffffff Testo=ciao", "interval 20000"});
        poll("noticket after a message: the chat ended, the slow pace, the tray told",
             {Answers::message({11, 7}), Answers::status("getchat", "noticket")},
             {"tre:getchat 57 0 0 01234567890", "show", "due:setreadchat 11", "beep",
              "show in corner", op("ciao"), "tre:getchat 57 11 0 01234567890", "ticket 0",
              "interval 60000", "enable", "balloon Chat terminata."},
             true);
        poll("tool: not for a replay, once a minute, not the customer's; pictures only in folder",
             {command(21, 7, 1), command(22), command(23), command(24, 0),
              Answers::message({30, 7, "foto.jpg", 1}), Answers::message({31, 7, "../a.jpg", 1})},
             {kStarted, "start ROOT/DAruzeve.exe", kStarted, kStarted,
              "bubble 14:05 0 #e3e8f0/#000000 Testo=" + kCommand,
              "download foto.jpg to ROOT/app/TempImg/foto.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=foto.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=../a.jpg", "interval 2000"});
        // Prefixed words are links without a request; bare ones when they answer "OK".
        poll("links",
             {Answers::message({1, 7, "HTTP://ESEMPIO.IT/a"}),
              Answers::message({2, 7, "Esempio.IT/ok"}), Answers::message({3, 7, "esempio.it/no"})},
             {op("HTTP://ESEMPIO.IT/a (link)"), "probe http://esempio.it/ok",
              op("Esempio.IT/ok (link)"), "probe http://esempio.it/no", op("esempio.it/no"),
              "interval 2000"});
        poll("a tool that fails to start says so", {command(21)},
             {"start ROOT/DAruzeve.exe", op("Avvio di SupRemo non riuscito.."), "interval 2000"},
             false, [](Rig &r) { r.view.startWorks = false; });
        poll("a command while the tool runs starts nothing", {command(21)},
             {kStarted, "interval 2000"}, false, [](Rig &r) { r.view.programRuns = true; });

        // Text goes out composed; what the code page cannot carry is never replaced: the
        // customer is told which characters, and the text stays.
        act("combining accent: composed, sent, the box emptied; the same ticket not told",
            [](Rig &r) {
                r.view.input = u"caffe\u0301 \u20ac"_s; // "caffé €": e9 and 80 in the code page
                r.session.sendMessage();
            },
            {"tre:setchat 57 Y2FmZukggA== 0", "tre:getchat 57 0 0 01234567890", "interval 2000",
             "enable", "input "});
        QTest::newRow("Greek and an emoji: each named once, nothing sent")
            << Act([](Rig &r) {
                   r.view.input = u"errore \u03b1\u03b1 \U0001F600"_s;
                   r.session.sendMessage();
               })
            << true
            << QStringList{u"warning Il messaggio non è stato inviato: questi caratteri non si "
                           u"possono inviare all'operatore: \u03b1 \U0001F600\n"
                           u"Toglierli dal messaggio e riprovare."_s};
        act("ticket id beyond 32 bits: warning, the text stays",
            [](Rig &r) {
                r.service.answers["getticket"] =
                    Answers::status("getticket", "OK", "<id>2147483648</id>");
                r.session.sendMessage();
            },
            {"ticket 0", "warning Nessun ticket abilitato per la gestione a mezzo chat."});
        act("screen not captured: nothing uploaded, the customer told",
            [](Rig &r) {
                r.view.captureWorks = false;
                r.session.sendScreenshot();
            },
            {"ask Si desidera inviare una immagine dello schermo all'operatore del customer care "
             "Quintaro?",
             "hide", "settle", "capture ROOT/app/TempImg/57_20240305140709.jpg", "show for user",
             "warning Non è stato possibile catturare l'immagine dello schermo. Nulla è stato "
             "inviato all'operatore."});
        act("picture not uploaded: not announced, the customer told",
            [](Rig &r) {
                r.service.uploadWorks = false;
                QImage picture(8, 8, QImage::Format_RGB32);
                picture.fill(Qt::green);
                r.session.sendPicture(picture);
            },
            {"upload ROOT/app/TempImg/57_20240305140709.jpg", "show for user",
             "warning Non è stato possibile inviare l'immagine all'operatore. Riprovare più "
             "tardi."});
    }
    void session() {
        QFETCH(Act, act);
        QFETCH(bool, whole);
        start();
        m->view.input = "buongiorno";
        act(*m);
        m->service.answerAll();
        QTEST(effects(whole ? "" : "^(start|download|probe|bubble|interval \\d{4}|ball)"),
              "effects");
    }

    // A backlog comes a hundred messages a tick; ticks meanwhile fold into one poll after it.
    void backlogComesInRunsOfAHundred() {
        start();
        for (int id = 1; id <= 150; ++id)
            m->service.chatAnswers << Answers::message({id, 7});
        for (int tick = 0; tick < 3; ++tick)
            m->session.onTimerTick();
        m->service.answerAll();
        QCOMPARE(m->view.messages.size(), 150);
        QCOMPARE(m->log.filter("getchat").size(), 100 + 50 + 1);
    }

    // While a poll is held, the customer presses Enter twice, ticks come, and a screenshot
    // question stays open: nothing more goes out until the poll ends; then the message goes out
    // once, with what was typed meanwhile, the second Enter finds the box empty, the ticks make
    // one poll. Polling goes on under the open question; the answer queues the capture behind.
    void customerActionsWaitTheirTurnInOrder() {
        start();
        m->view.shown = true;
        m->view.input = "ciao";
        m->view.answerYes.reset();
        m->service.chatAnswers << Answers::message({11, 7});
        m->session.onTimerTick();
        m->session.sendMessage();
        m->session.sendMessage();
        m->session.onTimerTick();
        m->session.onTimerTick();
        m->session.sendScreenshot();
        QCOMPARE(m->log, QStringList{"tre:getchat 57 0 1 01234567890"});
        QCOMPARE(m->view.pendingRequests, 3);
        m->view.input = "ciao a";
        m->service.answerAll();
        m->session.onTimerTick();
        m->view.openQuestion(true);
        m->service.answerAll();
        QCOMPARE(
            effects("^(due|tre):|^input|^capture"),
            (QStringList{"tre:getchat 57 0 1 01234567890", "due:setreadchat 11",
                         "tre:getchat 57 11 1 01234567890", "due:getticket 01234567890",
                         "tre:setchat 57 Y2lhbyBh 0", "tre:getchat 57 11 1 01234567890", "input ",
                         "due:getticket 01234567890", "tre:getchat 57 11 0 01234567890",
                         "due:getticket 01234567890", "tre:getchat 57 11 0 01234567890",
                         "capture ROOT/app/TempImg/57_20240305140709.jpg",
                         "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MDkuanBn 1",
                         "tre:getchat 57 11 0 01234567890"}));
        QCOMPARE(m->view.pendingRequests, 0);
    }
};

QTEST_APPLESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
