#include "ChatFakes.h"
#include "ClipboardData.h"

#include "chat/ChatFrm.h"
#include "core/AppState.h"

#include <QAccessible>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// A chat window on a recording service; it accepts each dialog as it opens.
struct Window {
    EffectLog log;
    FakeChatService service{log};
    FakeClock clock;
    ChatFrm frm{service, clock};
    QLineEdit *textMsg = frm.findChild<QLineEdit *>("TextMsg");
    QPushButton *okBtn = frm.findChild<QPushButton *>("OKBtn");
    QStringList seen; // each dialog's caption and text
    QTimer responder;
    Window() {
        QObject::connect(&responder, &QTimer::timeout, [this] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                seen << dialog->windowTitle() + ' ' + dialog->property("text").toString();
                dialog->accept();
            }
        });
        responder.start(0);
    }
};
} // namespace

class TestChatFrm : public QObject {
    Q_OBJECT
    QTemporaryDir m_app;

private slots:
    void init() {
        AppState::instance().VatNumber = QStringLiteral("01234567890");
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(QDir(m_app.path()).mkpath("TempImg"));
    }

    // While the service holds the exchanges of a message, the customer types on, sends again,
    // pastes a picture that cannot be read and drops pictures: the window says what waits, keeps
    // the new text, and copies the files. Then Tab goes round the window.
    void windowAnswersWhileAnExchangeIsHeld() {
        QVERIFY(QFile::copy(":/chat/close.png", m_app.filePath("a.png")));
        QVERIFY(QFile(m_app.filePath("note.txt")).open(QIODevice::WriteOnly));
        QGuiApplication::clipboard()->setMimeData(new ClipboardData({{"image/png", {}}}));
        Window w;
        w.service.chatAnswers << Answers::message({1, 7});
        w.textMsg->setText("poi");
        QTest::keyRelease(w.textMsg, Qt::Key_Return); // the press closed a message box: not sent
        QTest::keyPress(w.textMsg, Qt::Key_Return);
        QKeyEvent held(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(w.textMsg, &held); // Enter held down: one message
        QVERIFY(w.log.isEmpty());
        QTest::keyRelease(w.textMsg, Qt::Key_Enter);
        for (int i = 0; i < 4; ++i) // the ticket, the text, the answer and its read mark
            w.service.answerNext();
        QCOMPARE(w.frm.windowTitle(), "Servizio clienti Quintaro");
        // 200 and 600 twips from the right and bottom edges of the 800x800 offscreen screen.
        QCOMPARE(w.frm.pos(), QPoint(800 - 425 - 13, 800 - 571 - 40));
        QVERIFY(!w.frm.isActiveWindow()); // messages never take the focus
        QTest::keyClicks(w.textMsg, " grazie");
        QTest::mouseClick(w.okBtn, Qt::LeftButton);
        const auto *waiting = w.frm.findChild<QLabel *>("PendingRequests");
        QTRY_VERIFY(waiting->isVisible());
        QCOMPARE(waiting->text(), "Invio in corso, un'altra richiesta in attesa...");
        w.service.answerNext();
        QTest::keyClick(w.textMsg, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.textMsg->text(), " grazie");

        // Dropped with Shift, which proposes a move that would let the file manager delete the
        // files: copied. The text file refused.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(m_app.filePath("note.txt")),
                      QUrl::fromLocalFile(m_app.filePath("a.png"))});
        const auto both = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(5, 5), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
        QDropEvent drop(QPointF(5, 5), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
        for (QDropEvent *event : {static_cast<QDropEvent *>(&enter), &drop})
            QVERIFY(QCoreApplication::sendEvent(w.textMsg, event) &&
                    event->dropAction() == Qt::CopyAction);
        QTRY_COMPARE(w.seen,
                     (QStringList{"Brenno Non è stato possibile leggere l'immagine.",
                                  "Brenno Si possono inviare solo immagini.", "Invia immagine "}));

        // The picture goes last; its upload shows how far it is, then goes away.
        const auto *bar = w.frm.findChild<QProgressBar *>("UploadProgress");
        while (!w.log.last().startsWith("upload ") && !w.service.held.empty())
            w.service.answerNext();
        w.service.answerNext();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), "Invio dell'immagine: 50%");
        w.service.answerAll();
        QVERIFY(!bar->isVisible() && !waiting->isVisible());

        // The customer's own request takes the focus. Tab goes from the list to the input line
        // and through the buttons, each with an Italian name.
        w.frm.showForUser();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        QCOMPARE(QApplication::focusWidget(), w.textMsg);
        w.frm.findChild<QWidget *>("Frame1")->setFocus();
        QStringList visited;
        for (int i = 0; i < 6; ++i) {
            QWidget *focused = QApplication::focusWidget();
            visited << focused->objectName() + ' ' +
                           QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"Frame1 Messaggi", "TextMsg Scrivi Messaggio",
                                       "OKBtn Invia il messaggio",
                                       "ScreenShotBtn Invia l'immagine dello schermo",
                                       "ImgClose Chiudi", "Frame1 Messaggi"}));
    }
};

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
