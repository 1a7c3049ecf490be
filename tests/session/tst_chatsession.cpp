#include "ChatFakes.h"

#include "core/AppState.h"
#include "session/ChatSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

enum class Send { Nothing, Text, Screenshot, Picture };
enum class Fault { None, NoTicket, NoUpload, NoFolder, NoStart, Running, NoCapture };

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
} // namespace

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

private slots:
    void init() {
        m = std::make_unique<Rig>();
        AppState &state = AppState::instance();
        state.VatNumber = QStringLiteral("01234567890");
        state.ApplicationFolder = m_root.filePath("app");
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(state.ApplicationFolder + "/TempImg"));
    }

    // One tick with these answers, or one thing the customer sends after asking for the ticket.
    // The box holds text, but only a shown window types. "whole" compares the whole log, else
    // what the messages caused and the paces but the follow-up.
    void session_data() {
        QTest::addColumn<Send>("send");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QStringList>("effects");
        const auto poll = [](const char *name, const QStringList &answers,
                             const QStringList &effects, Fault fault = {}, bool whole = false) {
            QTest::newRow(name) << Send::Nothing << fault << answers << u"buongiorno"_s << whole
                                << effects;
        };
        const auto act = [](const char *name, Send send, Fault fault, const QStringList &effects,
                            const QString &typed = u"buongiorno"_s) {
            QTest::newRow(name) << send << fault << QStringList() << typed << true
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
             Fault::None, true);
        poll("11 boundaries: the idle pace",
             {Answers::message({1, 7, "ciao", 0, 0, "2024-03-05 13:56:59"})},
             {"bubble 13:56 7 #0084ff/#ffffff Testo=ciao", "interval 20000"});
        poll("noticket after a message: the chat ended, the slow pace, the tray told",
             {Answers::message({11, 7}), Answers::status("getchat", "noticket")},
             {"tre:getchat 57 0 0 01234567890", "show", "due:setreadchat 11", "beep",
              "show in corner", op("ciao"), "tre:getchat 57 11 0 01234567890", "ticket 0",
              "interval 60000", "enable", "balloon Chat terminata."},
             Fault::None, true);
        poll("tool: not for a replay, once a minute, not the customer's; pictures only in folder",
             {command(21, 7, 1), command(22), command(23), command(24, 0),
              Answers::message({30, 7, "foto.jpg", 1}), Answers::message({31, 7, "../a.jpg", 1}),
              Answers::message({32, 7, "..\\a.jpg", 1}), Answers::message({33, 7, "c:a.jpg", 1}),
              Answers::message({34, 7, "a\u0085.jpg", 1})},
             {kStarted, "start ROOT/DAruzeve.exe", kStarted, kStarted,
              "bubble 14:05 0 #e3e8f0/#000000 Testo=" + kCommand,
              "download foto.jpg to ROOT/app/TempImg/foto.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=foto.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=../a.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=..\\a.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=c:a.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=a\u0085.jpg", "interval 2000"});
        // Prefixed words are links without a request; bare ones when they answer "OK".
        QStringList words{"HTTP://ESEMPIO.IT/a", "http://a.it",   "www.esempio.",
                          "esempio.it/a b",      "Esempio.IT/ok", "esempio.it/no"};
        for (qint64 id = 0; id < words.size(); ++id)
            words[id] = Answers::message({id + 1, 7, words[id]});
        poll("links", words,
             {op("HTTP://ESEMPIO.IT/a (link)"), op("http://a.it"), op("www.esempio. (link)"),
              op("esempio.it/a b"), "probe http://esempio.it/ok", op("Esempio.IT/ok (link)"),
              "probe http://esempio.it/no", op("esempio.it/no"), "interval 2000"});
        poll("a tool that fails to start says so", {command(21)},
             {"start ROOT/DAruzeve.exe", op("Avvio di SupRemo non riuscito.."), "interval 2000"},
             Fault::NoStart);
        poll("a command while the tool runs starts nothing", {command(21)},
             {kStarted, "interval 2000"}, Fault::Running);

        const QString asked = QStringLiteral("ask Si desidera inviare una immagine dello schermo "
                                             "all'operatore del customer care Quintaro?");
        const QString picture = QStringLiteral("ROOT/app/TempImg/57_20240305140709.jpg");
        const QString notSent = QStringLiteral("warning Non è stato possibile inviare "
                                               "l'immagine all'operatore. Riprovare più tardi.");
        const QStringList polled{"tre:getchat 57 0 1 01234567890", "interval 2000", "enable"};
        const QStringList captured{asked, "hide", "settle", "capture " + picture};
        // Text goes out composed; what the code page cannot carry is never replaced: the
        // customer is told which characters, and the text stays.
        act("combining accent: composed, sent, the box emptied; the same ticket not told",
            Send::Text, Fault::None,
            QStringList{"tre:setchat 57 Y2FmZukggA== 0"} + polled + QStringList{"input "},
            u"caffe\u0301 \u20ac"_s); // "caffé €": e9 and 80 in the code page
        QTest::newRow("Greek, an emoji and a question mark: each named once, nothing sent")
            << Send::Text << Fault::None << QStringList()
            << u"errore? \u03b1\u03b2\u03b3\u03b1 \U0001F600"_s << true
            << QStringList{u"warning Il messaggio non è stato inviato: questi caratteri non si "
                           u"possono inviare all'operatore: \u03b1 \u03b2 \u03b3 \U0001F600\n"
                           u"Toglierli dal messaggio e riprovare."_s};
        act("ticket id beyond 32 bits: warning, the text stays", Send::Text, Fault::NoTicket,
            {"ticket 0", "warning Nessun ticket abilitato per la gestione a mezzo chat."});
        act("screenshot: sent, announced, polled, shown again", Send::Screenshot, Fault::None,
            captured +
                QStringList{"upload " + picture, "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MDkuanBn 1"} +
                polled + QStringList{"show for user"});
        act("screen not captured: nothing uploaded, the customer told", Send::Screenshot,
            Fault::NoCapture,
            captured + QStringList{"show for user", "warning Non è stato possibile catturare "
                                                    "l'immagine dello schermo. Nulla è stato "
                                                    "inviato all'operatore."});
        act("picture not uploaded: not announced, the customer told", Send::Picture,
            Fault::NoUpload, {"upload " + picture, "show for user", notSent});
        act("picture not written: nothing sent, the customer told", Send::Picture, Fault::NoFolder,
            {notSent});
    }
    void session() {
        QFETCH(Send, send);
        QFETCH(Fault, fault);
        QFETCH(bool, whole);
        QVERIFY(QFile(m_root.filePath("DAruzeve.exe")).open(QIODevice::WriteOnly));
        if (fault == Fault::NoFolder)
            QVERIFY(QDir(AppState::instance().ApplicationFolder + "/TempImg").removeRecursively());
        start();
        if (fault == Fault::NoTicket)
            m->service.answers["getticket"] =
                Answers::status("getticket", "OK", "<id>2147483648</id>");
        QFETCH(QStringList, answers);
        m->service.chatAnswers = answers;
        m->service.uploadWorks = fault != Fault::NoUpload;
        m->view.startWorks = fault != Fault::NoStart;
        m->view.programRuns = fault == Fault::Running;
        m->view.captureWorks = fault != Fault::NoCapture;
        m->view.shown = send != Send::Nothing;
        QFETCH(QString, typed);
        m->view.input = typed;
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::green);
        if (send == Send::Nothing)
            m->session.onTimerTick();
        else if (send == Send::Text)
            m->session.sendMessage();
        else if (send == Send::Screenshot)
            m->session.sendScreenshot();
        else
            m->session.sendPicture(picture);
        m->service.answerAll();
        const QRegularExpression caused(
            whole ? "" : "^(start|download|probe|bubble|interval \\d{4}|ball)");
        QTEST(m->log.replaceInStrings(m_root.path(), "ROOT").filter(caused), "effects");
    }

    // A backlog comes a hundred messages a tick, each answer asking for the next from the event
    // loop, so the stack stays flat; ticks meanwhile fold into one poll behind the run.
    void longBacklogRunsInBoundedRunsOnAFlatStack() {
        start();
        for (int id = 1; id <= 10000; ++id)
            m->service.chatAnswers << Answers::message({id, 7});
        quintptr deepest = ~quintptr(0), shallowest = 0;
        int ticksDuringTheRun = 0;
        m->service.duringPost = [&] {
            deepest = qMin(deepest, quintptr(__builtin_frame_address(0)));
            shallowest = qMax(shallowest, quintptr(__builtin_frame_address(0)));
            if (ticksDuringTheRun++ < 3)
                m->session.onTimerTick();
        };
        for (int ticks = 0; ticks < 100; ++ticks) { // the last ends on an empty answer
            m->session.onTimerTick();
            m->service.answerAll();
            if (ticks == 0) // the run of a hundred, then the one poll the ticks folded into
                QCOMPARE(m->view.messages.size(), 200);
        }
        QCOMPARE(m->view.messages.size(), 10000);
        QCOMPARE(m->log.filter("getchat").size(), 10001);
        QVERIFY2(shallowest - deepest < 4096, qPrintable(QString::number(shallowest - deepest)));
    }

    // While a poll is held, the customer presses Enter twice, ticks come, and a screenshot
    // question stays open: nothing more goes out until the poll ends; then the message goes out
    // once, with what was typed meanwhile, the second Enter finds the box empty, the ticks make
    // one poll.
    void customerActionsWaitTheirTurnInOrder() {
        start();
        m->view.shown = true;
        m->view.input = "ciao";
        m->service.chatAnswers << Answers::message({11, 7});
        m->session.onTimerTick();
        m->session.sendMessage();
        m->session.sendMessage();
        m->session.onTimerTick();
        m->session.onTimerTick();
        m->view.answerYes.reset();
        m->session.sendScreenshot();
        QCOMPARE(m->log, QStringList{"tre:getchat 57 0 1 01234567890"});
        QCOMPARE(m->view.pendingRequests, 3);
        m->view.input = "ciao a";
        m->service.answerAll();
        QCOMPARE(m->log.filter(QRegularExpression("^(due|tre):|^input|^ask")),
                 (QStringList{"tre:getchat 57 0 1 01234567890", "due:setreadchat 11",
                              "tre:getchat 57 11 1 01234567890", "due:getticket 01234567890",
                              "tre:setchat 57 Y2lhbyBh 0", "tre:getchat 57 11 1 01234567890",
                              "input ", "due:getticket 01234567890",
                              "tre:getchat 57 11 0 01234567890", "due:getticket 01234567890",
                              "ask Si desidera inviare una immagine dello schermo all'operatore "
                              "del customer care Quintaro?"}));
        // Polling goes on under the open question; the answer queues the capture behind it.
        m->log.clear();
        m->session.onTimerTick();
        m->view.openQuestion(true);
        m->service.answerAll();
        QCOMPARE(m->log.filter(QRegularExpression("^(tre|due):|^hide|^capture")),
                 (QStringList{"tre:getchat 57 11 0 01234567890", "hide",
                              "capture ROOT/app/TempImg/57_20240305140709.jpg",
                              "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MDkuanBn 1",
                              "tre:getchat 57 11 0 01234567890"})
                     .replaceInStrings("ROOT", m_root.path()));
        QCOMPARE(m->view.uploadProgress, (QList<qint64>{50, 100, 0, 0}));
        QCOMPARE(m->view.pendingRequests, 0);
    }
};

QTEST_APPLESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"