#include "ChatFakes.h"

#include "chat/ChatSession.h"
#include "chat/IsLink.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

enum class Tool { Starts, FailsToStart, AlreadyRunning };
// Which log entries a poll row compares.
enum class Watch { Everything, Pace, Clock, Actions };
// What the customer does and what goes wrong on the way; a text is sent unless the row sends a
// screenshot or a picture.
enum class Given {
    Screenshot,
    Picture,
    NoTicket,
    Refused,
    AnswerNo,
    CaptureFails,
    UploadFails,
    SameSecondTaken,
    NoPictureFolder
};

namespace {
const QString kGetTicket = QStringLiteral("due:getticket 01234567890");
const QString kCommand = QStringLiteral("[CMD]supremo");
const QString kOperatorBubble = QStringLiteral("bubble 14:05 7 ff8400/ffffff ");
const QString kStarted = kOperatorBubble + "Testo=L'operatore ha avviato SupRemo..";

struct Rig {
    EffectLog log;
    FakeChatService service{log};
    FakeChatView view{log};
    FakePollTimer timer{log};
    FakeClock clock; // 2024-03-05 14:07:09
    FakeTray tray{log};
    ChatSession session{service, view, timer, clock};
};
} // namespace

class TestChatSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { AppState::instance().trayForm = nullptr; }
    void startWithoutVatNumberEndsTheProcess();
    void poll_data();
    void poll();
    void act_data();
    void act();
    void longBacklogRunsInBoundedRunsOnAFlatStack();
    void isLink_data();
    void isLink();
    void typingFlag_data();
    void typingFlag();

private:
    static QString getChat(qint64 letto, int typing = 0) {
        return QStringLiteral("tre:getchat 57 %1 %2 01234567890").arg(letto).arg(typing);
    }
    static QString messageAt(const QString &data) {
        return Answers::message({1, 7, "ciao", 0, 0, data});
    }
    // One tick's answers, the log entries that matter, and those entries.
    static void pollRow(const char *name, const QStringList &answers, Watch watch,
                        const QStringList &effects, Tool tool = Tool::Starts) {
        QTest::newRow(name) << answers << watch << effects << tool;
    }
    static void actRow(const char *name, const QString &input, const QList<Given> &given,
                       const QStringList &effects) {
        QTest::newRow(name) << input << given << effects;
    }
    void startWithTicket() {
        m->session.InizializzaChat();
        m->log.clear();
    }
    void tick() { m->session.onTimerTick(); }
    QStringList log() { return m->log.replaceInStrings(m_root.path(), "ROOT"); }

    QTemporaryDir m_root;
    std::unique_ptr<Rig> m;
};

void TestChatSession::init() {
    m = std::make_unique<Rig>();
    AppState &state = AppState::instance();
    state.VatNumber = QStringLiteral("01234567890");
    state.ApplicationFolder = m_root.filePath("app");
    state.trayForm = &m->tray;
    QDir(m_root.path()).removeRecursively();
    QVERIFY(QDir().mkpath(state.ApplicationFolder + "/TempImg"));
}

void TestChatSession::startWithoutVatNumberEndsTheProcess() {
    AppState::instance().VatNumber.clear();
    m->session.InizializzaChat();
    QCOMPARE(m->log, QStringList{"end process"});
}

void TestChatSession::poll_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<Watch>("watch");
    QTest::addColumn<QStringList>("effects");
    QTest::addColumn<Tool>("tool");
    pollRow("two messages: one request each, read, shown in order, then a quick follow-up",
            {Answers::message({11, 7, "uno"}),
             Answers::message({12, 0, "due<br>righe", 0, 0, "5/3/2024 14:06"})},
            Watch::Everything,
            {"canvas off", getChat(0), "show", "due:setreadchat 11", "beep", "show in corner",
             kOperatorBubble + "Testo=uno", getChat(11), "show", "due:setreadchat 12",
             "show in corner", "bubble 14:06 0 f0e8e3/0 Testo=due\r\nrighe", getChat(12),
             "interval 2000", "enable", "interval 500", "canvas on"});
    const Watch pace = Watch::Pace;
    pollRow("a message, then noticket: the pace without a ticket",
            {Answers::message({11, 7}), Answers::status("getchat", "noticket")}, pace,
            {"due:setreadchat 11", kOperatorBubble + "Testo=ciao", "interval 60000",
             "balloon Chat terminata."});
    pollRow("OK without an id shows nothing", {Answers::message({0, 7})}, pace, {"interval 20000"});
    pollRow("an id that does not advance is no message",
            {Answers::message({5, 7}), Answers::message({5, 7}), Answers::message({3, 7})}, pace,
            {"due:setreadchat 5", kOperatorBubble + "Testo=ciao", "interval 2000", "interval 500"});
    // Minute boundaries crossed up to 14:07:09 decide: more than 10 -> 20 s, else 2 s.
    const Watch time = Watch::Clock;
    pollRow("10 boundaries, microseconds -> active", {messageAt("2024-03-05 13:57:00.250123")},
            time, {"bubble 13:57 7 ff8400/ffffff Testo=ciao", "interval 2000", "interval 500"});
    pollRow("11 boundaries, ISO T -> idle", {messageAt("2024-03-05T13:56:59")}, time,
            {"bubble 13:56 7 ff8400/ffffff Testo=ciao", "interval 20000", "interval 500"});
    pollRow("31 February keeps the zero date -> idle", {messageAt("2024-02-31 14:00:00")}, time,
            {"bubble 00:00 7 ff8400/ffffff Testo=ciao", "interval 20000", "interval 500"});
    const Watch effects = Watch::Actions;
    pollRow("fresh command starts the tool", {Answers::message({21, 7, kCommand})}, effects,
            {"start ROOT/DAruzeve.exe", kStarted});
    pollRow("replayed command does not start it again", {Answers::message({21, 7, kCommand, 0, 1})},
            effects, {kStarted});
    pollRow("a tool that fails to start says so", {Answers::message({21, 7, kCommand})}, effects,
            {"start ROOT/DAruzeve.exe", kOperatorBubble + "Testo=Avvio di SupRemo non riuscito.."},
            Tool::FailsToStart);
    pollRow("a command while the tool runs starts nothing", {Answers::message({21, 7, kCommand})},
            effects, {kStarted}, Tool::AlreadyRunning);
    pollRow("a command repeated within a minute starts it once",
            {Answers::message({21, 7, kCommand}), Answers::message({22, 7, kCommand})}, effects,
            {"start ROOT/DAruzeve.exe", kStarted, kStarted});
    pollRow("command from the customer is only text", {Answers::message({21, 0, kCommand})},
            effects, {"bubble 14:05 0 f0e8e3/0 Testo=" + kCommand});
    pollRow("operator picture is fetched, then shown", {Answers::message({30, 7, "foto.jpg", 1})},
            effects,
            {"download foto.jpg to ROOT/app/TempImg/foto.jpg",
             kOperatorBubble + "ImmagineAttach=foto.jpg"});
    pollRow("name reaching out of the folder is not fetched",
            {Answers::message({30, 7, "../evil.jpg", 1})}, effects,
            {kOperatorBubble + "ImmagineAttach=../evil.jpg"});
    pollRow("a word that answers OK is a link", {Answers::message({31, 7, "esempio.it/ok"})},
            effects,
            {"probe http://esempio.it/ok", kOperatorBubble + "Testo=esempio.it/ok (link)"});
    pollRow("a word that does not answer is text", {Answers::message({31, 7, "esempio.it/no"})},
            effects, {"probe http://esempio.it/no", kOperatorBubble + "Testo=esempio.it/no"});
}

void TestChatSession::poll() {
    QFETCH(QStringList, answers);
    QFETCH(Watch, watch);
    QFETCH(Tool, tool);
    QVERIFY(QFile(m_root.filePath("DAruzeve.exe")).open(QIODevice::WriteOnly));
    m->view.startWorks = tool != Tool::FailsToStart;
    m->view.programRuns = tool == Tool::AlreadyRunning;
    startWithTicket();
    m->service.chatAnswers = answers;
    m->service.answeringAddresses = {"http://esempio.it/ok"};
    tick();
    static const QMap<Watch, QRegularExpression> kEntries{
        {Watch::Everything, QRegularExpression()},
        {Watch::Pace, QRegularExpression("^(bubble|due|interval|balloon)")},
        {Watch::Clock, QRegularExpression("^(bubble|interval)")},
        {Watch::Actions, QRegularExpression("^(start|download|probe|bubble)")}};
    QTEST(log().filter(kEntries[watch]), "effects");
}

void TestChatSession::act_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QList<Given>>("given");
    QTest::addColumn<QStringList>("effects");
    const QString setChat = "tre:setchat 57 " + QByteArray("buongiorno").toBase64() + " 0";
    const QString asked = QStringLiteral("ask Si desidera inviare una immagine dello schermo "
                                         "all'operatore del customer care Quintaro?");
    const QString picture = QStringLiteral("ROOT/app/TempImg/57_20240305140709.jpg");
    const QString announced =
        "tre:setchat 57 " + QByteArray("57_20240305140709.jpg").toBase64() + " 1";
    const QStringList polled{"canvas off", getChat(0), "interval 2000", "enable", "canvas on"};
    const QString notSent = QStringLiteral("warning Non è stato possibile inviare l'immagine "
                                           "all'operatore. Riprovare più tardi.");
    const QString noTicket =
        QStringLiteral("warning Nessun ticket abilitato per la gestione a mezzo chat.");
    const QStringList captured{kGetTicket, asked, "hide", "settle", "capture " + picture};
    actRow("accepted: sent, polled, box emptied", "buongiorno", {},
           {kGetTicket, setChat, "canvas off", getChat(0, 1), "interval 2000", "enable",
            "canvas on", "clear input"});
    actRow("refused: the text stays", "buongiorno", {Given::Refused}, {kGetTicket, setChat});
    actRow("empty box asks only for the ticket", "", {}, {kGetTicket});
    actRow("ticket id beyond 32 bits: warning, the text stays", "buongiorno", {Given::NoTicket},
           {kGetTicket, noTicket});
    actRow("screenshot: captured, uploaded, announced, polled, shown again", "",
           {Given::Screenshot},
           captured + QStringList{"upload " + picture, announced} + polled +
               QStringList{"show for user"});
    actRow("screenshot declined", "", {Given::Screenshot, Given::AnswerNo}, {kGetTicket, asked});
    actRow("screenshot not captured: nothing sent", "", {Given::Screenshot, Given::CaptureFails},
           captured + QStringList{"show for user"});
    actRow("screenshot not uploaded: not announced, the customer told", "",
           {Given::Screenshot, Given::UploadFails},
           captured + QStringList{"upload " + picture, "show for user", notSent, "show for user"});
    actRow("picture: written, uploaded, announced, polled", "", {Given::Picture},
           QStringList{kGetTicket, "upload " + picture, announced} + polled);
    actRow("picture in a second that has one: the next second", "",
           {Given::Picture, Given::SameSecondTaken},
           {kGetTicket, "upload ROOT/app/TempImg/57_20240305140710.jpg",
            "tre:setchat 57 " + QByteArray("57_20240305140710.jpg").toBase64() + " 1", "canvas off",
            getChat(0), "interval 2000", "enable", "canvas on"});
    actRow("picture not uploaded: not announced, the customer told", "",
           {Given::Picture, Given::UploadFails},
           {kGetTicket, "upload " + picture, "show for user", notSent});
    actRow("picture not written: nothing sent, the customer told", "",
           {Given::Picture, Given::NoPictureFolder}, {kGetTicket, notSent});
    actRow("picture without a ticket: the typed message's warning", "",
           {Given::Picture, Given::NoTicket}, {kGetTicket, noTicket});
}

void TestChatSession::act() {
    QFETCH(QString, input);
    QFETCH(QList<Given>, given);
    startWithTicket();
    m->view.shown = true;
    m->view.input = input;
    m->view.answerYes = !given.contains(Given::AnswerNo);
    m->view.captureWorks = !given.contains(Given::CaptureFails);
    m->service.uploadWorks = !given.contains(Given::UploadFails);
    const QDir pictures(AppState::instance().ApplicationFolder + "/TempImg");
    if (given.contains(Given::SameSecondTaken))
        QVERIFY(QFile(pictures.filePath("57_20240305140709.jpg")).open(QIODevice::WriteOnly));
    if (given.contains(Given::NoPictureFolder))
        QVERIFY(QDir(pictures).removeRecursively());
    if (given.contains(Given::NoTicket))
        m->service.answers["getticket"] = Answers::ticket("OK", "2147483648");
    if (given.contains(Given::Refused))
        m->service.answers["setchat"] = Answers::status("setchat", "KO");
    if (given.contains(Given::Screenshot)) {
        m->session.sendScreenshot();
    } else if (given.contains(Given::Picture)) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::green);
        m->session.sendPicture(picture);
    } else {
        m->session.sendMessage();
    }
    QTEST(log(), "effects");
    // A picture that went up is the JPEG in the folder, where its bubble finds it.
    if (!given.contains(Given::Picture))
        return;
    for (const QString &upload : log().filter(QRegularExpression("^upload "))) {
        QImageReader sent(upload.section(' ', 1).replace("ROOT", m_root.path()));
        QCOMPARE(sent.format(), "jpeg");
        QCOMPARE(sent.size(), QSize(64, 48));
    }
}

// A backlog arrives a hundred messages a tick, each run in one loop, and ticks that arrive during
// a running operation (nested event loops deliver them) start nothing.
void TestChatSession::longBacklogRunsInBoundedRunsOnAFlatStack() {
    constexpr int kBacklog = 10000;
    startWithTicket();
    m->service.inProgress = true;
    tick();
    QVERIFY(m->log.isEmpty());
    m->service.inProgress = false;
    for (int id = 1; id <= kBacklog; ++id)
        m->service.chatAnswers << Answers::message({id, 7});
    quintptr deepest = ~quintptr(0);
    quintptr shallowest = 0;
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
    QCOMPARE(m->log.last(), "canvas on");
    QCOMPARE(m->timer.interval, 500);
    for (int ticks = 0; ticks < 100; ++ticks)
        tick();
    QCOMPARE(m->view.messages.size(), kBacklog);
    QCOMPARE(m->log.filter("getchat").size(), kBacklog + 1);
    QCOMPARE(m->log.filter("getchat").last(), getChat(kBacklog));
    QVERIFY2(shallowest - deepest < 4096, qPrintable(QString::number(shallowest - deepest)));
}

void TestChatSession::isLink_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("link");
    QTest::addColumn<QString>("probed"); // empty: no request
    QTest::newRow("HTTP:// unasked") << "HTTP://ESEMPIO.IT/a" << true << "";
    QTest::newRow("11 characters are too short") << "http://a.it" << false << "";
    QTest::newRow("www and 12 characters") << "www.esempio." << true << "";
    QTest::newRow("www sentence") << "www.esempio.it ok" << false << "";
    QTest::newRow("| opens encoded") << "https://example.com/a|b" << true << "";
    QTest::newRow("prefix without a host, unasked") << "http:///abcdefgh" << false << "";
    QTest::newRow("prefix with a port out of range, unasked")
        << "https://esempio.it:99999" << false << "";
    QTest::newRow("space, unasked") << "esempio.it/a b" << false << "";
    QTest::newRow("line break, unasked") << "esempio.it/a\r\nb" << false << "";
    QTest::newRow("word probed in lower case") << "Esempio.IT/ok" << true << "http://esempio.it/ok";
    QTest::newRow("word that does not answer")
        << "esempio.it/no" << false << "http://esempio.it/no";
}

void TestChatSession::isLink() {
    QFETCH(QString, text);
    QString probed;
    const bool link = IsLink(text, [&probed](const QUrl &url) {
        probed = url.toString();
        return url.path() == "/ok";
    });
    QTEST(link, "link");
    QTEST(probed, "probed");
}

void TestChatSession::typingFlag_data() {
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("getchat");
    QTest::newRow("hidden, text in the box: not typing") << false << "ciao" << getChat(0, 0);
    QTest::newRow("shown, box empty: not typing") << true << "" << getChat(0, 0);
    QTest::newRow("shown, text in the box: typing") << true << "ciao" << getChat(0, 1);
}

void TestChatSession::typingFlag() {
    QFETCH(bool, shown);
    QFETCH(QString, input);
    startWithTicket();
    m->view.shown = shown;
    m->view.input = input;
    tick();
    QTEST(m->log.filter("getchat").value(0), "getchat");
}

QTEST_APPLESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
