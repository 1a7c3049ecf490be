#include "ChatFakes.h"

#include "chat/ChatSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
const QString kGetTicket = QStringLiteral("due:getticket 01234567890");
const QString kStarted = QStringLiteral("L'operatore ha avviato SupRemo..");
const QString kMissing = QStringLiteral("Avvio di SupRemo non riuscito..");
const QString kNoTicketWarning =
    QStringLiteral("warning Nessun ticket abilitato per la gestione a mezzo chat.");
const QString kQuestion = QStringLiteral(
    "ask Si desidera inviare una immagine dello schermo all'operatore del customer care Quintaro?");

QString getChat(qint64 letto, int typing = 0, qint32 ticket = 57) {
    return QStringLiteral("tre:getchat id=%1 letto=%2 typing=%3")
        .arg(ticket)
        .arg(letto)
        .arg(typing);
}

Answers::Message operatorMessage(qint64 id, const QString &testo = QStringLiteral("ciao")) {
    Answers::Message message;
    message.id = id;
    message.idOperatore = 7;
    message.testo = testo;
    return message;
}

// Entries of the log that start with one of the prefixes, in order.
QStringList only(const EffectLog &log, const QStringList &prefixes) {
    QStringList kept;
    for (const QString &entry : log)
        for (const QString &prefix : prefixes)
            if (entry.startsWith(prefix)) {
                kept << entry;
                break;
            }
    return kept;
}
} // namespace

class TestChatSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startUp_data();
    void startUp();
    void startWithoutVatNumberEndsQuietly();
    void tickWithoutTicketAsksForOneAndKeepsTheInterval();
    void pollingInterval_data();
    void pollingInterval();
    void backlogArrivesOneMessagePerRequestThenFollowsUpIn500();
    void backlogOfTenThousandKeepsTheStackFlat();
    void answersWithoutMessage_data();
    void answersWithoutMessage();
    void endOfChatAfterARunStillFollowsUpIn500();
    void senderDecidesBeepAndColours_data();
    void senderDecidesBeepAndColours();
    void bubbleTimeIsTheServiceTime_data();
    void bubbleTimeIsTheServiceTime();
    void typingFlag_data();
    void typingFlag();
    void remoteAssistance_data();
    void remoteAssistance();
    void attachment_data();
    void attachment();
    void tickStaysOutOfRunningExchanges();
    void sending_data();
    void sending();
    void screenshot_data();
    void screenshot();

private:
    void startWithTicket();
    void tick() { m_session->onTimerTick(); }

    EffectLog m_log;
    QTemporaryDir m_root;
    QString m_appFolder;
    std::unique_ptr<FakeChatService> m_service;
    std::unique_ptr<FakeChatView> m_view;
    std::unique_ptr<FakePollTimer> m_timer;
    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<FakeTray> m_tray;
    std::unique_ptr<ChatSession> m_session;
};

void TestChatSession::init() {
    m_log.clear();
    m_appFolder = m_root.path() + QStringLiteral("/app");
    QDir(m_root.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_appFolder + QStringLiteral("/TempImg")));
    m_service = std::make_unique<FakeChatService>(m_log);
    m_view = std::make_unique<FakeChatView>(m_log);
    m_timer = std::make_unique<FakePollTimer>(m_log);
    m_clock = std::make_unique<FakeClock>();
    m_tray = std::make_unique<FakeTray>(m_log);
    m_session = std::make_unique<ChatSession>(*m_service, *m_view, *m_timer, *m_clock);

    AppState &state = AppState::instance();
    state.VatNumber = QStringLiteral("01234567890");
    state.IdTicket = 0;
    state.ApplicationFolder = m_appFolder;
    state.trayForm = m_tray.get();
}

void TestChatSession::cleanup() {
    AppState::instance().trayForm = nullptr;
    m_session.reset();
}

void TestChatSession::startWithTicket() {
    m_session->InizializzaChat();
    QCOMPARE(AppState::instance().IdTicket, 57);
    m_log.clear();
}

void TestChatSession::startUp_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<qint32>("idTicket");
    QTest::addColumn<int>("interval");
    QTest::newRow("ticket 57 -> first getchat after 20 s")
        << Answers::ticket("OK", "57") << 57 << 20000;
    QTest::newRow("id with blanks") << Answers::ticket("OK", " 5 7 ") << 57 << 20000;
    QTest::newRow("negative id counts as a ticket") << Answers::ticket("OK", "-3") << -3 << 20000;
    QTest::newRow("lower-case ok is no ticket") << Answers::ticket("ok", "57") << 0 << 60000;
    QTest::newRow("service down") << QString() << 0 << 60000;
    QTest::newRow("not xml") << QStringLiteral("<html>500</html>") << 0 << 60000;
    QTest::newRow("id beyond 32 bits is no ticket")
        << Answers::ticket("OK", "2147483648") << 0 << 60000;
    QTest::newRow("id not a number") << Answers::ticket("OK", "abc") << 0 << 60000;
}

void TestChatSession::startUp() {
    QFETCH(QString, answer);
    QFETCH(qint32, idTicket);
    QFETCH(int, interval);
    AppState::instance().IdTicket = 99;
    m_service->ticketAnswer = answer;

    m_session->InizializzaChat();

    QCOMPARE(AppState::instance().IdTicket, idTicket);
    QCOMPARE(m_log, (QStringList{kGetTicket, QStringLiteral("interval %1").arg(interval),
                                 QStringLiteral("enable")}));
}

void TestChatSession::startWithoutVatNumberEndsQuietly() {
    AppState::instance().VatNumber.clear();
    m_session->InizializzaChat();
    QCOMPARE(m_log, QStringList{QStringLiteral("end process")});
    QVERIFY(!m_timer->enabled);
}

void TestChatSession::tickWithoutTicketAsksForOneAndKeepsTheInterval() {
    m_service->ticketAnswer = QString();
    m_session->InizializzaChat();
    m_service->ticketAnswer = Answers::ticket("OK", "57");
    m_log.clear();

    tick();
    QCOMPARE(m_log, QStringList{kGetTicket});
    QCOMPARE(AppState::instance().IdTicket, 57);
    QCOMPARE(m_timer->interval, 60000);

    tick();
    QCOMPARE(m_log.at(2), getChat(0));
}

void TestChatSession::pollingInterval_data() {
    QTest::addColumn<QString>("lastMessage");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("interval");
    const QDate day(2024, 3, 5);
    QTest::newRow("just now -> active")
        << "2024-03-05 12:00:30" << QDateTime(day, QTime(12, 0, 40)) << 2000;
    QTest::newRow("minute boundary 10 -> active")
        << "2024-03-05 12:00:00" << QDateTime(day, QTime(12, 10, 59)) << 2000;
    QTest::newRow("minute boundary 11 after 10 min 1 s -> idle")
        << "2024-03-05 12:00:59" << QDateTime(day, QTime(12, 11, 0)) << 20000;
    QTest::newRow("across midnight, 11 boundaries -> idle")
        << "2024-03-05 23:55:00" << QDateTime(day.addDays(1), QTime(0, 6)) << 20000;
    QTest::newRow("message from the future -> active")
        << "2024-03-05 13:00:00" << QDateTime(day, QTime(12, 0)) << 2000;
    QTest::newRow("unreadable date keeps the zero date -> idle")
        << "2024-02-31 12:00:00" << QDateTime(day, QTime(12, 0)) << 20000;
}

void TestChatSession::pollingInterval() {
    QFETCH(QString, lastMessage);
    QFETCH(QDateTime, now);
    QFETCH(int, interval);
    startWithTicket();
    m_clock->current = now;
    Answers::Message message = operatorMessage(1);
    message.data = lastMessage;
    m_service->chatAnswers = {Answers::message(message)};

    tick();
    QCOMPARE(m_timer->interval, 500);
    tick();
    QCOMPARE(m_timer->interval, interval);
    QVERIFY(m_timer->enabled);
}

void TestChatSession::backlogArrivesOneMessagePerRequestThenFollowsUpIn500() {
    startWithTicket();
    Answers::Message first = operatorMessage(11, QStringLiteral("uno"));
    Answers::Message second;
    second.id = 12;
    second.testo = QStringLiteral("due<br>righe");
    second.data = QStringLiteral("2024-03-05 14:06:10");
    Answers::Message third = operatorMessage(13, QStringLiteral("tre"));
    third.data = QStringLiteral("2024-03-05 14:07:00");
    m_service->chatAnswers = {Answers::message(first), Answers::message(second),
                              Answers::message(third)};

    tick();

    const auto bubble = [](int index, const QString &testo, const QString &time, int idOperatore,
                           const QString &back, const QString &fore) {
        return QStringList{QStringLiteral("bubble %1").arg(index),
                           QStringLiteral("bubble %1 Data=%2").arg(index).arg(time),
                           QStringLiteral("bubble %1 IdOperatore=%2").arg(index).arg(idOperatore),
                           QStringLiteral("bubble %1 Testo=%2").arg(index).arg(testo),
                           QStringLiteral("bubble %1 BackColor=%2").arg(index).arg(back),
                           QStringLiteral("bubble %1 ForeColor=%2").arg(index).arg(fore),
                           QStringLiteral("grow %1").arg(index)};
    };
    QStringList expected{"canvas hidden",      getChat(0), "show",
                         "due:setreadchat 11", "beep",     "show in corner on top"};
    expected << bubble(0, "uno", "14:05", 7, "ff8400", "ffffff");
    expected << getChat(11) << "show"
             << "due:setreadchat 12"
             << "show in corner on top";
    expected << bubble(1, "due\r\nrighe", "14:06", 0, "f0e8e3", "0");
    expected << getChat(12) << "show"
             << "due:setreadchat 13"
             << "beep"
             << "show in corner on top";
    expected << bubble(2, "tre", "14:07", 7, "ff8400", "ffffff");
    expected << getChat(13) << "interval 2000"
             << "enable"
             << "interval 500"
             << "canvas shown";
    QCOMPARE(m_log, expected);

    m_log.clear();
    tick();
    QCOMPARE(m_log, (QStringList{"canvas hidden", getChat(13), "interval 2000", "enable",
                                 "canvas shown"}));
}

void TestChatSession::backlogOfTenThousandKeepsTheStackFlat() {
    constexpr qint64 kBacklog = 10000;
    startWithTicket();
    m_service->chatResponder = [](qint64 letto) {
        if (letto >= kBacklog)
            return Answers::noMessage();
        return Answers::message(operatorMessage(letto + 1));
    };
    m_service->postCount = 0;

    tick();

    QCOMPARE(m_service->postCount, int(2 * kBacklog + 1));
    QCOMPARE(m_view->bubbles.size(), int(kBacklog));
    QCOMPARE(m_log.filter("getchat").last(), getChat(kBacklog, 0));
    QCOMPARE(m_log.last(), QStringLiteral("canvas shown"));
    QCOMPARE(m_timer->interval, 500);
    // A nested follow-up would put every exchange deeper on the stack than the one before.
    QVERIFY2(m_service->shallowestFrame - m_service->deepestFrame < 4096,
             qPrintable(QString::number(m_service->shallowestFrame - m_service->deepestFrame)));
}

void TestChatSession::answersWithoutMessage_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<qint32>("idTicket");
    QTest::addColumn<QStringList>("effects");
    const QStringList quiet{"canvas hidden", getChat(0), "interval 20000", "enable",
                            "canvas shown"};
    QTest::newRow("noticket ends the chat with a balloon")
        << Answers::status("getchat", "noticket") << 0
        << QStringList{"canvas hidden",           getChat(0),    "interval 60000", "enable",
                       "balloon Chat terminata.", "canvas shown"};
    QTest::newRow("noticket with message fields still ends it")
        << Answers::message(operatorMessage(5)).replace(">OK<", ">noticket<") << 0
        << QStringList{"canvas hidden",           getChat(0),    "interval 60000", "enable",
                       "balloon Chat terminata.", "canvas shown"};
    QTest::newRow("NOTICKET is just a quiet answer")
        << Answers::status("getchat", "NOTICKET") << 57 << quiet;
    QTest::newRow("service down") << QString() << 57 << quiet;
    QTest::newRow("lower-case ok")
        << Answers::message(operatorMessage(5)).replace(">OK<", ">ok<") << 57 << quiet;
    QTest::newRow("OK with id 0 shows and marks nothing")
        << Answers::message(operatorMessage(0)) << 57 << quiet;
    QTest::newRow("OK with id beyond 32 bits shows nothing")
        << Answers::message(operatorMessage(4294967296LL)) << 57 << quiet;
}

void TestChatSession::answersWithoutMessage() {
    QFETCH(QString, answer);
    QFETCH(qint32, idTicket);
    QFETCH(QStringList, effects);
    startWithTicket();
    m_service->chatAnswers = {answer};

    tick();

    QCOMPARE(m_log, effects);
    QCOMPARE(AppState::instance().IdTicket, idTicket);
}

void TestChatSession::endOfChatAfterARunStillFollowsUpIn500() {
    startWithTicket();
    m_service->chatAnswers = {Answers::message(operatorMessage(8)),
                              Answers::status("getchat", "noticket")};
    tick();
    QCOMPARE(only(m_log, {"interval", "balloon", "canvas"}),
             (QStringList{"canvas hidden", "interval 60000", "balloon Chat terminata.",
                          "interval 500", "canvas shown"}));
    QCOMPARE(AppState::instance().IdTicket, 0);

    // A later ticket continues the same list and the same message ids.
    m_log.clear();
    tick();
    QCOMPARE(m_log, QStringList{kGetTicket});
    m_service->chatAnswers = {Answers::message(operatorMessage(9))};
    tick();
    QCOMPARE(m_log.at(2), getChat(8));
    QVERIFY(m_log.contains("bubble 1"));
}

void TestChatSession::senderDecidesBeepAndColours_data() {
    QTest::addColumn<qint32>("idOperatore");
    QTest::addColumn<bool>("beeps");
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("fore");
    QTest::newRow("operator: blue, white text, beep") << 3 << true << "ff8400"
                                                      << "ffffff";
    QTest::newRow("customer echo: light, black, silent") << 0 << false << "f0e8e3"
                                                         << "0";
    QTest::newRow("negative operator id is the customer") << -2 << false << "f0e8e3"
                                                          << "0";
}

void TestChatSession::senderDecidesBeepAndColours() {
    QFETCH(qint32, idOperatore);
    QFETCH(bool, beeps);
    QFETCH(QString, back);
    QFETCH(QString, fore);
    startWithTicket();
    Answers::Message message = operatorMessage(4);
    message.idOperatore = idOperatore;
    m_service->chatAnswers = {Answers::message(message)};

    tick();

    QCOMPARE(m_log.contains("beep"), beeps);
    QVERIFY(m_log.contains("show in corner on top"));
    QCOMPARE(m_view->bubbles[0]["BackColor"].toString(), back);
    QCOMPARE(m_view->bubbles[0]["ForeColor"].toString(), fore);
    QCOMPARE(m_view->bubbles[0]["IdOperatore"].toInt(), idOperatore);
}

void TestChatSession::bubbleTimeIsTheServiceTime_data() {
    QTest::addColumn<QString>("firstData");
    QTest::addColumn<QString>("secondData");
    QTest::addColumn<QString>("secondTime");
    QTest::newRow("seconds are dropped, not rounded") << "2024-03-05 09:00:00"
                                                      << "2024-03-05 14:05:59"
                                                      << "14:05";
    QTest::newRow("31 February keeps the previous time") << "2024-03-05 09:12:00"
                                                         << "2024-02-31 14:05:59"
                                                         << "09:12";
    QTest::newRow("empty data keeps the previous time") << "2024-03-05 09:12:00"
                                                        << ""
                                                        << "09:12";
    QTest::newRow("day-first date") << "2024-03-05 09:12:00"
                                    << "05/03/2024 18:40"
                                    << "18:40";
}

void TestChatSession::bubbleTimeIsTheServiceTime() {
    QFETCH(QString, firstData);
    QFETCH(QString, secondData);
    QFETCH(QString, secondTime);
    startWithTicket();
    Answers::Message first = operatorMessage(1);
    first.data = firstData;
    Answers::Message second = operatorMessage(2);
    second.data = secondData;
    m_service->chatAnswers = {Answers::message(first), Answers::message(second)};

    tick();

    QCOMPARE(m_view->bubbles[1]["Data"].toString(), secondTime);
}

void TestChatSession::typingFlag_data() {
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("typing");
    QTest::newRow("hidden window with text") << false << "sto scrivendo" << 0;
    QTest::newRow("visible window, empty box") << true << "" << 0;
    QTest::newRow("visible window with text") << true << "sto scrivendo" << 1;
}

void TestChatSession::typingFlag() {
    QFETCH(bool, shown);
    QFETCH(QString, input);
    QFETCH(int, typing);
    startWithTicket();
    m_view->shown = shown;
    m_view->input = input;
    tick();
    QCOMPARE(m_log.at(1), getChat(0, typing));
}

void TestChatSession::remoteAssistance_data() {
    QTest::addColumn<qint32>("idOperatore");
    QTest::addColumn<int>("letto");
    QTest::addColumn<bool>("toolInstalled");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("shown");
    QTest::newRow("fresh command starts the tool") << 7 << 0 << true << true << kStarted;
    QTest::newRow("replayed command does not start again") << 7 << 1 << true << false << kStarted;
    QTest::newRow("tool missing") << 7 << 0 << false << false << kMissing;
    QTest::newRow("same text from the customer is only text")
        << 0 << 0 << true << false << "[CMD]supremo";
}

void TestChatSession::remoteAssistance() {
    QFETCH(qint32, idOperatore);
    QFETCH(int, letto);
    QFETCH(bool, toolInstalled);
    QFETCH(bool, starts);
    QFETCH(QString, shown);
    const QString tool = m_root.path() + QStringLiteral("/DAruzeve.exe");
    if (toolInstalled) {
        QFile file(tool);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    startWithTicket();
    Answers::Message message = operatorMessage(21, QStringLiteral("[CMD]supremo"));
    message.idOperatore = idOperatore;
    message.letto = letto;
    m_service->chatAnswers = {Answers::message(message)};

    tick();

    QCOMPARE(m_log.filter("start ").size(), starts ? 1 : 0);
    if (starts)
        QCOMPARE(m_log.filter("start ").first(), "start " + tool);
    QCOMPARE(m_view->bubbles[0]["Testo"].toString(), shown);
}

void TestChatSession::attachment_data() {
    QTest::addColumn<qint32>("idOperatore");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("alreadyThere");
    QTest::addColumn<bool>("downloads");
    QTest::newRow("operator picture not yet here") << 7 << "foto.jpg" << false << true;
    QTest::newRow("operator picture already here") << 7 << "foto.jpg" << true << false;
    QTest::newRow("customer screenshot is never fetched") << 0 << "57_1.jpg" << false << false;
    QTest::newRow("name reaching out of the folder") << 7 << "../evil.jpg" << false << false;
    QTest::newRow("empty name") << 7 << "" << false << false;
}

void TestChatSession::attachment() {
    QFETCH(qint32, idOperatore);
    QFETCH(QString, fileName);
    QFETCH(bool, alreadyThere);
    QFETCH(bool, downloads);
    const QString local = m_appFolder + QStringLiteral("/TempImg/") + fileName;
    if (alreadyThere) {
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    startWithTicket();
    Answers::Message message = operatorMessage(30, fileName);
    message.idOperatore = idOperatore;
    message.attach = 1;
    m_service->chatAnswers = {Answers::message(message)};

    tick();

    const QStringList expected =
        downloads ? QStringList{QStringLiteral("download %1 -> %2").arg(fileName, local)}
                  : QStringList();
    QCOMPARE(m_log.filter("download "), expected);
    QCOMPARE(m_view->bubbles[0]["ImmagineAttach"].toString(), fileName);
    QVERIFY(!m_view->bubbles[0].contains("Testo"));
    if (downloads)
        QVERIFY(m_log.indexOf(expected.first()) <
                m_log.indexOf(QStringLiteral("bubble 0 ImmagineAttach=") + fileName));
}

void TestChatSession::tickStaysOutOfRunningExchanges() {
    startWithTicket();
    m_service->inProgress = true;
    tick();
    QVERIFY(m_log.isEmpty());

    m_service->inProgress = false;
    m_service->chatAnswers = {Answers::message(operatorMessage(1))};
    int nestedTicks = 0;
    m_service->duringPost = [&] {
        if (nestedTicks++ < 3)
            tick();
    };
    tick();
    QCOMPARE(m_log.filter("getchat").size(), 2);
}

void TestChatSession::sending_data() {
    QTest::addColumn<QString>("ticketAnswer");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("setChatStatus");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("inputAfter");
    const QString setChat = QStringLiteral("tre:setchat ticket=57 attach=0 buongiorno");
    QTest::newRow("accepted: setchat, getchat, then the box empties")
        << Answers::ticket("OK", "57") << "buongiorno"
        << "OK" << QStringList{kGetTicket, setChat, getChat(0, 1), "clear input"} << "";
    QTest::newRow("refused: the text stays")
        << Answers::ticket("OK", "57") << "buongiorno"
        << "KO" << QStringList{kGetTicket, setChat} << "buongiorno";
    QTest::newRow("empty box asks only for the ticket") << Answers::ticket("OK", "57") << ""
                                                        << "OK" << QStringList{kGetTicket} << "";
    QTest::newRow("no ticket: warning, text stays")
        << Answers::ticket("KO", "") << "buongiorno"
        << "OK" << QStringList{kGetTicket, kNoTicketWarning} << "buongiorno";
    QTest::newRow("no ticket warns even with an empty box")
        << QString() << ""
        << "OK" << QStringList{kGetTicket, kNoTicketWarning} << "";
    QTest::newRow("text is sent unchanged")
        << Answers::ticket("OK", "57") << "  perché €  "
        << "KO" << QStringList{kGetTicket, "tre:setchat ticket=57 attach=0   perché €  "}
        << "  perché €  ";
}

void TestChatSession::sending() {
    QFETCH(QString, ticketAnswer);
    QFETCH(QString, input);
    QFETCH(QString, setChatStatus);
    QFETCH(QStringList, requests);
    QFETCH(QString, inputAfter);
    startWithTicket();
    m_view->shown = true;
    m_view->input = input;
    m_service->ticketAnswer = ticketAnswer;
    m_service->setChatAnswer = Answers::status("setchat", setChatStatus);

    m_session->sendMessage();

    QCOMPARE(only(m_log, {"due:", "tre:", "warning", "clear"}), requests);
    QCOMPARE(m_view->input, inputAfter);
}

void TestChatSession::screenshot_data() {
    QTest::addColumn<QString>("ticketAnswer");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("captureWorks");
    QTest::addColumn<QString>("setChatStatus");
    QTest::addColumn<QStringList>("effects");
    const QString path = QStringLiteral("capture APP/TempImg/57_20240305140709.jpg");
    const QString upload = QStringLiteral("upload APP/TempImg/57_20240305140709.jpg");
    const QString setChat = QStringLiteral("tre:setchat ticket=57 attach=1 57_20240305140709.jpg");
    QTest::newRow("sent: capture, upload, setchat, getchat, shown again")
        << Answers::ticket("OK", "57") << true << true << "OK"
        << QStringList{kGetTicket, kQuestion,      "hide",          "settle",   path,
                       upload,     setChat,        "canvas hidden", getChat(0), "interval 2000",
                       "enable",   "canvas shown", "show"};
    QTest::newRow("answer No: nothing beyond the ticket")
        << Answers::ticket("OK", "57") << false << true << "OK"
        << QStringList{kGetTicket, kQuestion};
    QTest::newRow("no ticket: warning only") << Answers::ticket("KO", "") << true << true << "OK"
                                             << QStringList{kGetTicket, kNoTicketWarning};
    QTest::newRow("capture failed: no upload, no setchat, shown again")
        << Answers::ticket("OK", "57") << true << false << "OK"
        << QStringList{kGetTicket, kQuestion, "hide", "settle", path, "show"};
    QTest::newRow("setchat refused: no getchat, shown again")
        << Answers::ticket("OK", "57") << true << true << "KO"
        << QStringList{kGetTicket, kQuestion, "hide", "settle", path, upload, setChat, "show"};
}

void TestChatSession::screenshot() {
    QFETCH(QString, ticketAnswer);
    QFETCH(bool, yes);
    QFETCH(bool, captureWorks);
    QFETCH(QString, setChatStatus);
    QFETCH(QStringList, effects);
    startWithTicket();
    m_clock->current = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    m_service->ticketAnswer = ticketAnswer;
    m_service->setChatAnswer = Answers::status("setchat", setChatStatus);
    m_view->answerYes = yes;
    m_view->captureWorks = captureWorks;

    m_session->sendScreenshot();

    QCOMPARE(m_log.replaceInStrings(m_appFolder, "APP"), effects);
}

QTEST_APPLESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
