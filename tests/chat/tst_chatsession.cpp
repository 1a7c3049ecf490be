#include "ChatFakes.h"

#include "chat/ChatSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

enum class Tool { Starts, FailsToStart, AlreadyRunning };
enum class Send { Text, Screenshot, Picture };
enum class Fault { None, NoTicket, NoCapture, NoUpload, SecondTaken, NoFolder };

namespace {
const QString kGetTicket = QStringLiteral("due:getticket 01234567890");
const QString kCommand = QStringLiteral("[CMD]supremo");
const QString kOperatorBubble = QStringLiteral("bubble 14:05 7 ff8400/ffffff ");
// An operator's text bubble at 14:05.
QString op(const QString &text) {
    return kOperatorBubble + "Testo=" + text;
}
const QString kStarted = op("L'operatore ha avviato SupRemo..");

struct Rig {
    EffectLog log;
    FakeChatService service{log};
    FakeChatView view{log};
    FakePollTimer timer{log};
    FakeClock clock; // 2024-03-05 14:07:09
    ChatSession session{service, view, timer, clock};
};

QString getChat(qint64 letto, int typing = 0) {
    return QStringLiteral("tre:getchat 57 %1 %2 01234567890").arg(letto).arg(typing);
}
} // namespace

class TestChatSession : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;
    std::unique_ptr<Rig> m;

    // The session started with ticket 57 and its log emptied.
    void start() {
        m->session.InizializzaChat();
        m->log.clear();
    }
    void tick() { m->session.onTimerTick(); }
    QStringList log() { return m->log.replaceInStrings(m_root.path(), "ROOT"); }

private slots:
    void init() {
        m = std::make_unique<Rig>();
        AppState &state = AppState::instance();
        state.VatNumber = QStringLiteral("01234567890");
        state.ApplicationFolder = m_root.filePath("app");
        state.trayForm = &m->view;
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(state.ApplicationFolder + "/TempImg"));
    }
    void cleanup() { AppState::instance().trayForm = nullptr; }

    // One tick; "whole" compares the whole log, else only what the messages caused.
    void poll_data() {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QStringList>("effects");
        QTest::addColumn<Tool>("tool");
        const auto row = [](const char *name, const QStringList &answers,
                            const QStringList &effects, Tool tool = Tool::Starts,
                            bool whole = false) {
            QTest::newRow(name) << answers << whole << effects << tool;
        };
        const auto at = [](const QString &data) {
            return Answers::message({1, 7, "ciao", 0, 0, data});
        };
        const auto command = [](qint64 id, qint64 from = 7, int letto = 0) {
            return Answers::message({id, from, kCommand, 0, letto});
        };
        // The box holds text while the window is hidden: no typing flag.
        row("two messages: each read once shown, in order, then a quick follow-up",
            {Answers::message({11, 7, "uno"}),
             Answers::message({12, 0, "due<br>righe", 0, 0, "5/3/2024 14:06"})},
            {"canvas off", getChat(0), "show", "due:setreadchat 11", "beep", "show in corner",
             op("uno"), getChat(11), "show", "due:setreadchat 12", "show in corner",
             "bubble 14:06 0 f0e8e3/0 Testo=due\r\nrighe", getChat(12), "interval 2000", "enable",
             "interval 500", "canvas on"},
            Tool::Starts, true);
        row("noticket after a message: the chat ended, the slow pace",
            {Answers::message({11, 7}), Answers::status("getchat", "noticket")},
            {op("ciao"), "interval 60000", "balloon Chat terminata."});
        row("an id that does not advance is no message",
            {Answers::message({5, 7}), Answers::message({5, 7}), Answers::message({3, 7})},
            {op("ciao"), "interval 2000", "interval 500"});
        // Minute boundaries crossed up to 14:07:09 decide: more than 10 -> 20 s, else 2 s.
        row("10 boundaries -> active", {at("2024-03-05 13:57:00.250123")},
            {"bubble 13:57 7 ff8400/ffffff Testo=ciao", "interval 2000", "interval 500"});
        row("11 boundaries -> idle", {at("2024-03-05 13:56:59")},
            {"bubble 13:56 7 ff8400/ffffff Testo=ciao", "interval 20000", "interval 500"});
        row("the tool starts once a minute, not for a replayed or the customer's command; "
            "pictures fetched unless out of the folder",
            {command(21), command(22), command(23, 7, 1), command(24, 0),
             Answers::message({30, 7, "foto.jpg", 1}), Answers::message({31, 7, "../a.jpg", 1})},
            {"start ROOT/DAruzeve.exe", kStarted, kStarted, kStarted,
             "bubble 14:05 0 f0e8e3/0 Testo=" + kCommand,
             "download foto.jpg to ROOT/app/TempImg/foto.jpg",
             kOperatorBubble + "ImmagineAttach=foto.jpg",
             kOperatorBubble + "ImmagineAttach=../a.jpg", "interval 2000", "interval 500"});
        // Prefixed words are links without a request; bare ones when they answer "OK".
        QStringList words{"HTTP://ESEMPIO.IT/a", "http://a.it",    "www.esempio.",
                          "http:///abcdefgh",    "esempio.it/a b", "Esempio.IT/ok",
                          "esempio.it/no"};
        for (qint64 id = 0; id < words.size(); ++id)
            words[id] = Answers::message({id + 1, 7, words[id]});
        row("links", words,
            {op("HTTP://ESEMPIO.IT/a (link)"), op("http://a.it"), op("www.esempio. (link)"),
             op("http:///abcdefgh"), op("esempio.it/a b"), "probe http://esempio.it/ok",
             op("Esempio.IT/ok (link)"), "probe http://esempio.it/no", op("esempio.it/no"),
             "interval 2000", "interval 500"});
        row("a tool that fails to start says so", {command(21)},
            {"start ROOT/DAruzeve.exe", op("Avvio di SupRemo non riuscito.."), "interval 2000",
             "interval 500"},
            Tool::FailsToStart);
        row("a command while the tool runs starts nothing", {command(21)},
            {kStarted, "interval 2000", "interval 500"}, Tool::AlreadyRunning);
    }
    void poll() {
        QFETCH(Tool, tool);
        QFETCH(bool, whole);
        QVERIFY(QFile(m_root.filePath("DAruzeve.exe")).open(QIODevice::WriteOnly));
        m->view.startWorks = tool != Tool::FailsToStart;
        m->view.programRuns = tool == Tool::AlreadyRunning;
        m->view.input = "ciao";
        start();
        QFETCH(QStringList, answers);
        m->service.chatAnswers = answers;
        tick();
        const QRegularExpression caused(whole ? ""
                                              : "^(start|download|probe|bubble|interval|ball)");
        QTEST(log().filter(caused), "effects");
    }

    void act_data() {
        QTest::addColumn<Send>("send");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("effects");
        const auto row = [](const char *name, Send send, Fault fault, const QStringList &effects) {
            QTest::newRow(name) << send << fault << effects;
        };
        const QString setChat = "tre:setchat 57 " + QByteArray("buongiorno").toBase64() + " 0";
        const QString asked = QStringLiteral("ask Si desidera inviare una immagine dello schermo "
                                             "all'operatore del customer care Quintaro?");
        const QString picture = QStringLiteral("ROOT/app/TempImg/57_20240305140709.jpg");
        const QString notSent = QStringLiteral("warning Non è stato possibile inviare "
                                               "l'immagine all'operatore. Riprovare più tardi.");
        const QStringList polled{"canvas off", getChat(0, 1), "interval 2000", "enable",
                                 "canvas on"};
        const QStringList captured{kGetTicket, asked, "hide", "settle", "capture " + picture};
        row("accepted: sent, polled, then the box emptied", Send::Text, Fault::None,
            QStringList{kGetTicket, setChat} + polled + QStringList{"clear input"});
        row("ticket id beyond 32 bits: warning, the text stays", Send::Text, Fault::NoTicket,
            {kGetTicket, "warning Nessun ticket abilitato per la gestione a mezzo chat."});
        row("screenshot: captured, uploaded, announced, polled, shown again", Send::Screenshot,
            Fault::None,
            captured +
                QStringList{"upload " + picture, "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MDkuanBn 1"} +
                polled + QStringList{"show for user"});
        row("screenshot not captured: nothing sent", Send::Screenshot, Fault::NoCapture,
            captured + QStringList{"show for user"});
        row("picture in a second that has one: the next second", Send::Picture, Fault::SecondTaken,
            QStringList{kGetTicket, "upload ROOT/app/TempImg/57_20240305140710.jpg",
                        "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MTAuanBn 1"} +
                polled);
        row("picture not uploaded: not announced, the customer told", Send::Picture,
            Fault::NoUpload, {kGetTicket, "upload " + picture, "show for user", notSent});
        row("picture not written: nothing sent, the customer told", Send::Picture, Fault::NoFolder,
            {kGetTicket, notSent});
    }
    void act() {
        QFETCH(Send, send);
        QFETCH(Fault, fault);
        start();
        m->view.shown = true;
        m->view.input = "buongiorno";
        m->view.captureWorks = fault != Fault::NoCapture;
        m->service.uploadWorks = fault != Fault::NoUpload;
        const QDir pictures(AppState::instance().ApplicationFolder + "/TempImg");
        if (fault == Fault::SecondTaken)
            QVERIFY(QFile(pictures.filePath("57_20240305140709.jpg")).open(QIODevice::WriteOnly));
        if (fault == Fault::NoFolder)
            QVERIFY(QDir(pictures).removeRecursively());
        if (fault == Fault::NoTicket)
            m->service.answers["getticket"] =
                Answers::status("getticket", "OK", "<id>2147483648</id>");
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::green);
        if (send == Send::Screenshot)
            m->session.sendScreenshot();
        else if (send == Send::Picture)
            m->session.sendPicture(picture);
        else
            m->session.sendMessage();
        QTEST(log(), "effects");
    }

    // A backlog arrives a hundred messages a tick, each run in one loop; ticks that arrive during
    // a running operation (nested event loops deliver them) start nothing.
    void longBacklogRunsInBoundedRunsOnAFlatStack() {
        start();
        m->service.inProgress = true;
        tick();
        QVERIFY(m->log.isEmpty());
        m->service.inProgress = false;
        for (int id = 1; id <= 10000; ++id)
            m->service.chatAnswers << Answers::message({id, 7});
        quintptr deepest = ~quintptr(0), shallowest = 0;
        int nestedTicks = 0;
        m->service.duringPost = [&] {
            const auto frame = quintptr(__builtin_frame_address(0));
            deepest = qMin(deepest, frame);
            shallowest = qMax(shallowest, frame);
            if (nestedTicks++ < 3)
                tick();
        };
        tick();
        QCOMPARE(m->view.messages.size(), 100);
        for (int ticks = 0; ticks < 100; ++ticks)
            tick();
        QCOMPARE(m->view.messages.size(), 10000);
        QCOMPARE(m->log.filter("getchat").size(), 10001);
        QCOMPARE(m->log.filter("getchat").last(), getChat(10000));
        QVERIFY2(shallowest - deepest < 4096, qPrintable(QString::number(shallowest - deepest)));
    }
};

QTEST_APPLESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
