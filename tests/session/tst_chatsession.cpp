#include "ChatFakes.h"
#include "ClipboardData.h"

#include "chat/ChatFrm.h"
#include "core/AppState.h"
#include "session/ChatSession.h"

#include <QAccessible>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
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
    FakeChatService service{&log};
    FakeChatView view{&log};
    FakePollTimer timer{&log};
    FakeClock clock; // 2024-03-05 14:07:09
    ChatSession session{service, view, timer, clock};
};
} // namespace

enum class Send { Nothing, Text, Screenshot };
enum class Fault { None, NoTicket, NoStart, NoCapture };

class TestChatSession : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;
    std::unique_ptr<Rig> m;

private slots:
    void init() {
        m = std::make_unique<Rig>();
        AppState &state = AppState::instance();
        state.VatNumber = QStringLiteral("01234567890");
        state.ApplicationFolder = m_root.filePath("app");
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(state.ApplicationFolder + "/TempImg"));
        QVERIFY(QFile(m_root.filePath("DAruzeve.exe")).open(QIODevice::WriteOnly));
        m->session.InizializzaChat(); // ticket 57
        m->service.answerAll();
        m->log.clear();
    }

    // One tick with these answers, or one thing the customer sends after asking for the ticket.
    // The box holds text, but the window is hidden: it does not type. "whole" compares the whole
    // log, else what the messages caused and the paces but the follow-up.
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
        // Up to 14:07:09 the last message crossed 10 minute boundaries: still the quick pace.
        poll("shown and read; a repeated id is none; 10 boundaries: active",
             {Answers::message({11, 0, "due<br>righe", 0, 0, "2024-03-05 13:57:00.250123"}),
              Answers::message({11, 7})},
             {"tre:getchat 57 0 0 01234567890", "show", "due:setreadchat 11", "show in corner",
              "bubble 13:57 0 #e3e8f0/#000000 Testo=due\r\nrighe",
              "tre:getchat 57 11 0 01234567890", "interval 2000", "enable", "interval 500"},
             Fault::None, true);
        poll("11 boundaries: the idle pace; a bare address that answers \"OK\" is a link",
             {Answers::message({1, 7, "Esempio.IT/ok", 0, 0, "2024-03-05 13:56:59"})},
             {"bubble 13:56 7 #0084ff/#ffffff Testo=Esempio.IT/ok (link)", "interval 20000"});
        poll("noticket after a message: the chat ended, the slow pace, the tray told",
             {Answers::message({11, 7}), Answers::status("getchat", "noticket")},
             {"tre:getchat 57 0 0 01234567890", "show", "due:setreadchat 11", "beep",
              "show in corner", op("ciao"), "tre:getchat 57 11 0 01234567890", "ticket 0",
              "interval 60000", "enable", "balloon Chat terminata."},
             Fault::None, true);
        poll("tool: not for a replay, once a minute, not the customer's; pictures only in folder",
             {Answers::message({21, 7, kCommand, 0, 1}), Answers::message({22, 7, kCommand}),
              Answers::message({23, 7, kCommand}), Answers::message({24, 0, kCommand}),
              Answers::message({30, 7, "foto.jpg", 1}), Answers::message({31, 7, "../a.jpg", 1})},
             {kStarted, "start ROOT/DAruzeve.exe", kStarted, kStarted,
              "bubble 14:05 0 #e3e8f0/#000000 Testo=" + kCommand,
              "download foto.jpg to ROOT/app/TempImg/foto.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=foto.jpg",
              "bubble 14:05 7 #0084ff/#ffffff ImmagineAttach=../a.jpg", "interval 2000"});
        poll("a tool that fails to start says so", {Answers::message({21, 7, kCommand})},
             {"start ROOT/DAruzeve.exe", op("Avvio di SupRemo non riuscito.."), "interval 2000"},
             Fault::NoStart);

        const QString picture = QStringLiteral("ROOT/app/TempImg/57_20240305140709.jpg");
        const QStringList captured{"ask Si desidera inviare una immagine dello schermo "
                                   "all'operatore del customer care Quintaro?",
                                   "hide", "settle", "capture " + picture};
        // Text goes out composed; what the code page cannot carry is never replaced: the
        // customer is told which characters, and the text stays.
        act("combining accent: composed, sent, the box emptied; the same ticket not told",
            Send::Text, Fault::None,
            {"tre:setchat 57 Y2FmZukggA== 0", "tre:getchat 57 0 0 01234567890", "interval 2000",
             "enable", "input "},
            u"caffe\u0301 \u20ac"_s); // "caffé €": e9 and 80 in the code page
        QTest::newRow("Greek and an emoji: each named once, nothing sent")
            << Send::Text << Fault::None << QStringList() << u"\u03b1\u03b1\U0001F600"_s << true
            << QStringList{u"warning Il messaggio non è stato inviato: questi caratteri non si "
                           u"possono inviare all'operatore: \u03b1 \U0001F600\n"
                           u"Toglierli dal messaggio e riprovare."_s};
        act("ticket id beyond 32 bits: warning, the text stays", Send::Text, Fault::NoTicket,
            {"ticket 0", "warning Nessun ticket abilitato per la gestione a mezzo chat."});
        act("screenshot: sent, announced, polled, shown again", Send::Screenshot, Fault::None,
            captured + QStringList{"upload " + picture,
                                   "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MDkuanBn 1",
                                   "tre:getchat 57 0 0 01234567890", "interval 2000", "enable",
                                   "show for user"});
        act("screen not captured: nothing uploaded, the customer told", Send::Screenshot,
            Fault::NoCapture,
            captured + QStringList{"show for user", "warning Non è stato possibile catturare "
                                                    "l'immagine dello schermo. Nulla è stato "
                                                    "inviato all'operatore."});
    }
    void session() {
        QFETCH(Send, send);
        QFETCH(Fault, fault);
        QFETCH(bool, whole);
        if (fault == Fault::NoTicket)
            m->service.answers["getticket"] =
                Answers::status("getticket", "OK", "<id>2147483648</id>");
        QFETCH(QStringList, answers);
        m->service.chatAnswers = answers;
        m->view.startWorks = fault != Fault::NoStart;
        m->view.captureWorks = fault != Fault::NoCapture;
        QFETCH(QString, typed);
        m->view.input = typed;
        if (send == Send::Nothing)
            m->session.onTimerTick();
        else if (send == Send::Text)
            m->session.sendMessage();
        else
            m->session.sendScreenshot();
        m->service.answerAll();
        const QRegularExpression caused(whole ? "" : "^(start|download|bubble|interval \\d{4})");
        QTEST(m->log.replaceInStrings(m_root.path(), "ROOT").filter(caused), "effects");
    }

    // Ticks while a poll is held fold into one poll after it.
    void ticksFoldIntoOnePoll() {
        for (int tick = 0; tick < 3; ++tick)
            m->session.onTimerTick();
        m->service.answerAll();
        QCOMPARE(m->log.filter("getchat").size(), 2);
    }

    // While the service holds the exchanges of a message, the customer types on, sends again,
    // pastes a picture that cannot be read and drops pictures: the window says what waits, keeps
    // the new text, and copies the files. Then Tab goes round the window.
    void windowAnswersWhileAnExchangeIsHeld() {
        QVERIFY(QFile::copy(":/chat/close.png", m_root.filePath("a.png")));
        QGuiApplication::clipboard()->setMimeData(new ClipboardData({{"image/png", {}}}));
        ChatFrm frm(m->service, m->clock);
        auto *textMsg = frm.findChild<QLineEdit *>("TextMsg");
        QStringList seen; // each dialog's caption and text
        const auto acceptDialogs = [&seen] {
            QCoreApplication::processEvents(); // a drop's pictures come after it
            while (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                seen << dialog->windowTitle() + ' ' + dialog->property("text").toString();
                dialog->accept();
            }
        };
        m->service.chatAnswers << Answers::message({1, 7});
        textMsg->setText("poi");
        QTest::keyRelease(textMsg, Qt::Key_Return); // the press closed a message box: not sent
        QVERIFY(m->log.isEmpty());
        QTest::keyClick(textMsg, Qt::Key_Enter);
        for (int i = 0; i < 4; ++i) // the ticket, the text, the answer and its read mark
            m->service.answerNext();
        QCOMPARE(frm.windowTitle(), "Servizio clienti Quintaro");
        // 200 and 600 twips from the right and bottom edges of the 800x800 offscreen screen.
        QCOMPARE(frm.pos(), QPoint(800 - 425 - 13, 800 - 571 - 40));
        QVERIFY(!frm.isActiveWindow());       // messages never take the focus
        QCOMPARE(frm.focusWidget(), textMsg); // but however it is activated, keys land there
        QTest::keyClicks(textMsg, " grazie");
        QTest::mouseClick(frm.findChild<QPushButton *>("OKBtn"), Qt::LeftButton);
        QCOMPARE(m->log.last(), "tre:getchat 57 1 1 01234567890"); // the box typing, shown
        const auto *waiting = frm.findChild<QLabel *>("PendingRequests");
        QTRY_VERIFY(waiting->isVisible());
        QCOMPARE(waiting->text(), "Invio in corso, un'altra richiesta in attesa...");
        m->service.answerNext();
        QTest::keyClick(textMsg, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(textMsg->text(), " grazie");

        // Dropped with Shift, which proposes a move that would let the file manager delete the
        // files: copied. The program refused.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(m_root.filePath("DAruzeve.exe")),
                      QUrl::fromLocalFile(m_root.filePath("a.png"))});
        const auto both = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(5, 5), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
        QDropEvent drop(QPointF(5, 5), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
        for (QDropEvent *event : {static_cast<QDropEvent *>(&enter), &drop})
            QVERIFY(QCoreApplication::sendEvent(textMsg, event) &&
                    event->dropAction() == Qt::CopyAction);
        acceptDialogs();

        // The picture goes last; its upload shows how far it is, then goes away. The service
        // refuses it: it is not announced, and the customer told.
        m->service.uploadWorks = false;
        const auto *bar = frm.findChild<QProgressBar *>("UploadProgress");
        while (!m->log.last().startsWith("upload ") && !m->service.held.empty())
            m->service.answerNext();
        m->service.answerNext();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), "Invio dell'immagine: 50%");
        m->service.answerAll();
        QVERIFY(!bar->isVisible() && !waiting->isVisible());
        QCOMPARE(m->log.filter("setchat").size(), 2);
        acceptDialogs();
        QCOMPARE(seen,
                 (QStringList{"Brenno Non è stato possibile leggere l'immagine.",
                              "Brenno Si possono inviare solo immagini.", "Invia immagine ",
                              "Brenno Non è stato possibile inviare l'immagine all'operatore. "
                              "Riprovare più tardi."}));

        // The customer's own request takes the focus to the input line; Tab goes through the
        // buttons to the list and back, each with an Italian name.
        frm.showForUser();
        QVERIFY(QTest::qWaitForWindowActive(&frm));
        QStringList visited;
        for (int i = 0; i < 6; ++i) {
            QWidget *focused = QApplication::focusWidget();
            visited << QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"Scrivi Messaggio", "Invia il messaggio",
                                       "Invia l'immagine dello schermo", "Chiudi", "Messaggi",
                                       "Scrivi Messaggio"}));
    }
};

QTEST_MAIN(TestChatSession)
#include "tst_chatsession.moc"
