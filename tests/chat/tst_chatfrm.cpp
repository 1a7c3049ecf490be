#include "ChatFakes.h"
#include "ClipboardData.h"

#include "chat/ChatFrm.h"
#include "core/AppState.h"
#include "messagelist/MessageList.h"
#include "messagelist/MessageListGeometry.h"

#include <QAccessible>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// A chat window on a recording service.
struct Window {
    EffectLog log;
    FakeChatService service{log};
    FakeClock clock;
    ChatFrm frm{service, clock};
    QLineEdit *textMsg = frm.findChild<QLineEdit *>("TextMsg");
    QStringList seen; // each dialog's caption and text
    QTimer responder;
    void send(const QString &text) {
        textMsg->setText(text);
        QTest::mouseClick(frm.findChild<QPushButton *>("OKBtn"), Qt::LeftButton);
    }
    // Answers each dialog as it opens.
    void answerDialogs(std::function<void(QDialog *)> answer) {
        QObject::connect(&responder, &QTimer::timeout, [this, answer] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                seen << dialog->windowTitle() + ' ' + dialog->property("text").toString();
                answer(dialog);
            }
        });
        responder.start(0);
    }
};

// Pixels differ when a channel differs by more than glyph antialiasing would. The old list drew
// the time column (x 29 to 63) black instead of grey 128: there only the glyphs' cover counts.
int differingPixels(const QImage &painted, const QImage &reference, int rows) {
    int differing = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < painted.width(); ++x) {
            const QRgb p = painted.pixel(x, y), q = reference.pixel(x, y);
            differing += x >= 29 && x < 64 && qIsGray(p) && qIsGray(q) // ink cover in the time
                             ? qAbs((255 - qGray(p)) / 127.0 - (255 - qGray(q)) / 255.0) > 0.25
                             : std::max({qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)),
                                         qAbs(qBlue(p) - qBlue(q))}) > 64;
        }
    return differing;
}
} // namespace

class TestChatFrm : public QObject {
    Q_OBJECT
    QTemporaryDir m_app;

private slots:
    void init() {
        AppState::instance().VatNumber = QStringLiteral("01234567890");
        AppState::instance().ApplicationFolder = m_app.path();
        QVERIFY(QDir(m_app.filePath("TempImg")).removeRecursively());
        QVERIFY(QDir(m_app.path()).mkpath("TempImg"));
    }

    void sendingStacksTheAnswersInTheCorner() {
        Window w;
        for (int id = 1; id <= 25; ++id)
            w.service.chatAnswers << Answers::message({id, id % 2, QString::number(id)});
        w.textMsg->setText("buongiorno");
        QTest::keyRelease(w.textMsg, Qt::Key_Return); // the press closed a message box: not sent
        QTest::keyPress(w.textMsg, Qt::Key_Return);
        QKeyEvent held(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(w.textMsg, &held); // Enter held down: one message
        QVERIFY(w.log.isEmpty());
        QTest::keyRelease(w.textMsg, Qt::Key_Enter);
        w.send("grazie");
        w.service.answerAll();
        QCOMPARE(w.log.filter("setchat"),
                 (QStringList{"tre:setchat 57 YnVvbmdpb3Jubw== 0", "tre:setchat 57 Z3Jhemll 0"}));

        QCOMPARE(w.frm.windowTitle(), "Servizio clienti Quintaro");
        // 200 and 600 twips from the right and bottom edges of the 800x800 offscreen screen.
        QCOMPARE(w.frm.pos(), QPoint(800 - 425 - 13, 800 - 571 - 40));
        // The list's own test pins its bar; here it stands at the end, at the window's edge.
        auto *list = w.frm.findChild<MessageList *>("Frame1");
        const auto *bar = w.frm.findChild<QScrollBar *>("VScroll1");
        QCOMPARE((QList<int>{list->count(), bar->isVisibleTo(&w.frm), bar->value()}),
                 (QList<int>{25, true, 718}));
        QCOMPARE(list->geometry(), QRect(3, 79, 419, 435));
        QCOMPARE(bar->mapTo(&w.frm, QPoint(bar->width(), 0)).x(), 422); // at the right edge
        // One-line bubbles stacked from the top; the first has its own left edge.
        for (int i = 0; i < 25; ++i)
            QCOMPARE(list->bubbleOriginTwips(i), QPointF(i == 0 ? 15 : 0, 410 * i));
        // A list exactly as high as the viewport has no bar.
        QVERIFY(!MessageListGeometry::grow(11.5f).scrollBarVisible);
        QVERIFY(MessageListGeometry::grow(11.51f).scrollBarVisible);

        // Messages never take the focus; the customer's own request does. Tab goes from the
        // list to the input line and through the buttons, each with an Italian name.
        QVERIFY(!w.frm.isActiveWindow());
        w.frm.showForUser();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        QCOMPARE(QApplication::focusWidget(), w.textMsg);
        list->setFocus();
        QStringList visited;
        for (int i = 0; i < 5; ++i) {
            QWidget *focused = QApplication::focusWidget();
            visited << focused->objectName() + ' ' +
                           QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(
            visited,
            (QStringList{"Frame1 Messaggi", "TextMsg Scrivi Messaggio", "OKBtn Invia il messaggio",
                         "ScreenShotBtn Invia l'immagine dello schermo", "ImgClose Chiudi"}));
        QCOMPARE(QApplication::focusWidget(), list);
    }

    // Every shape, badge, time, picture and text line lands on the pixels the widget-per-message
    // list painted, recorded in reference_conversation.png, down to row 502 where the last
    // message's old bubble rounded off: its width table estimated three lines for four.
    void paintsTheReferenceConversation() {
        QImage quarters(644, 322, QImage::Format_RGB32);
        quarters.fill(Qt::darkGreen);
        QPainter(&quarters).fillRect(0, 0, 322, 161, Qt::yellow);
        QVERIFY(quarters.save(m_app.filePath("TempImg/schema.png")));
        QVERIFY(quarters.scaled(200, 100).save(m_app.filePath("TempImg/57_20240305140700.jpg")));
        Window w;
        for (const Answers::Message &message : QList<Answers::Message>{
                 {1, 7, "Buongiorno, sono Marco. Come posso aiutarla?"},
                 {2, 0, "Il programma si blocca<br>quando apro le fatture"},
                 {3, 7, "https://www.quintaro.it/assistenza"},
                 {4, 7, "schema.png", 1},
                 {5, 0, "57_20240305140700.jpg", 1},
                 {6, 7,
                  "Ho controllato il suo archivio: i dati sono corretti, ma l'ultimo "
                  "aggiornamento non ha completato la sincronizzazione dell'archivio "
                  "clienti."}})
            w.service.chatAnswers << Answers::message(message);
        w.send("aiuto");
        w.service.answerAll();
        const auto *list = w.frm.findChild<MessageList *>("Frame1");
        QCOMPARE(list->contentHeight(), 529); // the reference's height, grown by a line
        QImage painted(400, 529, QImage::Format_RGB32);
        QPainter painter(&painted);
        list->paintContent(painter, painted.rect());
        painter.end();
        QCOMPARE(differingPixels(painted, QImage(QFINDTESTDATA("reference_conversation.png")), 502),
                 0);
        // The fourth line, "clienti.", white on the blue of the bubble that now holds it.
        const QImage line = painted.copy(72, 507, 60, 16).convertToFormat(QImage::Format_RGB32);
        const auto *pixels = reinterpret_cast<const QRgb *>(line.constBits()), *end = pixels + 960;
        QVERIFY(std::count(pixels, end, qRgb(0, 132, 255)) > 400);                       // blue
        QVERIFY(std::count_if(pixels, end, [](QRgb p) { return qGray(p) > 200; }) > 40); // white
    }

    // A picture that cannot be read is said, and the typed text stays.
    void unreadablePastedPictureIsSaid_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("an image type, then no data") << QByteArray();
        QTest::newRow("PNG that claims 100000 x 100000") << QByteArray::fromHex(
            "89504e470d0a1a0a0000000d49484452000186a0000186a0080200000027309c9f0000000c4944415478"
            "9c6360a00c000000400001b7347cef0000000049454e44ae426082");
    }
    void unreadablePastedPictureIsSaid() {
        QFETCH(QByteArray, bytes);
        QGuiApplication::clipboard()->setMimeData(new ClipboardData({{"image/png", bytes}}));
        Window w;
        w.textMsg->setText("ecco lo schermo");
        w.answerDialogs(&QDialog::accept);
        QTest::keyClick(w.textMsg, Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE(w.seen, QStringList{"Brenno Non è stato possibile leggere l'immagine."});
        QCOMPARE(w.textMsg->text(), "ecco lo schermo");
        QCOMPARE(w.log.filter(QRegularExpression("^upload ")), QStringList());
    }

    // A getchat the service holds: the list stays painted, keys reach the input box, Invia
    // queues one setchat behind the held exchange, and dropped pictures are previewed at once.
    void windowAnswersWhileAnExchangeIsHeld() {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(m_app.filePath("a.png")));
        QVERIFY(picture.scaled(16, 16).save(m_app.filePath("b.png")));
        QVERIFY(QFile(m_app.filePath("note.txt")).open(QIODevice::WriteOnly));
        Window w;
        w.service.chatAnswers << Answers::message({1, 7, "primo"});
        w.send("ciao");
        w.service.answerAll();
        w.send("poi");
        w.service.answerNext(); // the ticket
        w.service.answerNext(); // the text taken
        QCOMPARE(w.log.last(), "tre:getchat 57 1 1 01234567890");
        const qsizetype logged = w.log.size();

        const QImage list = w.frm.findChild<MessageList *>("Frame1")->viewport()->grab().toImage();
        QVERIFY(std::count(reinterpret_cast<const QRgb *>(list.constBits()),
                           reinterpret_cast<const QRgb *>(list.constBits()) + list.width() * 40,
                           qRgb(0, 132, 255)) > 1000); // the operator's blue bubble
        w.textMsg->clear();
        QTest::keyClicks(w.textMsg, "grazie");
        QCOMPARE(w.textMsg->text(), "grazie");
        QTest::mouseClick(w.frm.findChild<QPushButton *>("OKBtn"), Qt::LeftButton);
        QCOMPARE(w.log.size(), logged); // waits behind the held getchat, and says so
        const auto *waiting = w.frm.findChild<QLabel *>("PendingRequests");
        QTRY_VERIFY(waiting->isVisible());
        QCOMPARE(waiting->text(), "Invio in corso, un'altra richiesta in attesa...");

        // Dropped with Shift, which proposes a move that would let the file manager delete the
        // files: copied. The text file refused; the first preview cropped (the picture at its
        // own size, centred in the 240 x 160 area), the second sent whole, the third cancelled.
        w.answerDialogs([&w](QDialog *dialog) {
            if (auto *area = dialog->findChild<QWidget *>("CropArea"); w.seen.size() == 2) {
                QTest::mousePress(area, Qt::LeftButton, {}, QPoint(88, 56));
                QTest::mouseMove(area, QPoint(119, 71));
                QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(119, 71));
            }
            w.seen.size() == 4 ? dialog->reject() : dialog->accept();
        });
        QMimeData mime;
        for (const char *file : {"note.txt", "a.png", "b.png", "a.png"})
            mime.setUrls(mime.urls() << QUrl::fromLocalFile(m_app.filePath(file)));
        mime.setText("note.txt\na.png\nb.png\na.png"); // file managers add the paths as text
        const auto both = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(5, 5), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
        QDropEvent drop(QPointF(5, 5), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
        for (QDropEvent *event : {static_cast<QDropEvent *>(&enter), &drop})
            QVERIFY(QCoreApplication::sendEvent(w.textMsg, event) &&
                    event->dropAction() == Qt::CopyAction);
        QTRY_COMPARE(w.seen,
                     (QStringList{"Brenno Si possono inviare solo immagini.", "Invia immagine ",
                                  "Invia immagine ", "Invia immagine "}));

        // The pictures go last; an upload shows how far it is, then goes away.
        const auto *bar = w.frm.findChild<QProgressBar *>("UploadProgress");
        while (!w.log.last().startsWith("upload ") && !w.service.held.empty())
            w.service.answerNext();
        QVERIFY(!bar->isVisible());
        w.service.answerNext();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), "Invio dell'immagine: 50%");
        w.service.answerAll();
        QVERIFY(!bar->isVisible() && !waiting->isVisible());
        // The poll timer may add polls of its own; the customer's requests follow the held
        // getchat, each once, in order.
        QCOMPARE(w.log.mid(logged).filter(QRegularExpression("^(due:getticket|tre:setchat)")),
                 (QStringList{"due:getticket 01234567890", "tre:setchat 57 Z3Jhemll 0",
                              "due:getticket 01234567890",
                              "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MDkuanBn 1",
                              "due:getticket 01234567890",
                              "tre:setchat 57 NTdfMjAyNDAzMDUxNDA3MTAuanBn 1"}));
        QList<QSize> sent;
        for (const QString &upload : w.log.filter(QRegularExpression("^upload ")))
            sent << QImageReader(upload.section(' ', 1)).size();
        QCOMPARE(sent, (QList<QSize>{{32, 16}, {16, 16}}));
    }
};

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
