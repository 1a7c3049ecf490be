#include "ChatFakes.h"

#include "chat/ChatFrm.h"
#include "chat/MessageCanvas.h"
#include "chat/MessageListGeometry.h"

#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// What the customer does in a picture's preview.
enum class Answer { Send, CropAndSend, Cancel };

namespace {
// A chat window on a recording service.
struct Window {
    EffectLog log;
    FakeChatService service{log};
    FakeClock clock;
    ChatFrm frm{service, clock};
    QLineEdit *textMsg = frm.findChild<QLineEdit *>("TextMsg");
    void send(const QString &text) {
        textMsg->setText(text);
        QTest::mouseClick(frm.findChild<QPushButton *>("OKBtn"), Qt::LeftButton);
    }
};

// Pixels differ when a channel differs by more than glyph antialiasing would. The old list drew
// the time column (x 29 to 63) black instead of grey 128: there only the glyphs' cover counts.
int differingPixels(const QImage &painted, const QImage &reference, int rows) {
    const auto grey = [](QColor c) { return c.red() == c.green() && c.green() == c.blue(); };
    const auto cover = [](QColor c, int ink) { return (255 - qGray(c.rgb())) / double(255 - ink); };
    int differing = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < painted.width(); ++x) {
            const QColor p = painted.pixelColor(x, y), q = reference.pixelColor(x, y);
            if (x >= 29 && x < 64 && grey(p) && grey(q))
                differing += qAbs(cover(p, 128) - cover(q, 0)) > 0.25;
            else
                differing += qMax(qMax(qAbs(p.red() - q.red()), qAbs(p.green() - q.green())),
                                  qAbs(p.blue() - q.blue())) > 64;
        }
    return differing;
}
} // namespace

class TestChatFrm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { AppState::instance().VatNumber = QStringLiteral("01234567890"); }

    // The other sizes of the list are checked on the window below.
    void aListAsHighAsTheViewportHasNoBar() {
        QVERIFY(!MessageListGeometry::grow(11.5f).scrollBarVisible);
        QVERIFY(MessageListGeometry::grow(11.51f).scrollBarVisible);
    }

    void sendingStacksTheAnswersInTheCorner() {
        Window w;
        for (int id = 1; id <= 25; ++id)
            w.service.chatAnswers << Answers::message({id, id % 2, QString::number(id)});
        const auto key = [&w](QEvent::Type type, int key, bool autoRepeat = false) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
            QCoreApplication::sendEvent(w.textMsg, &event);
        };
        w.textMsg->setText("buongiorno");
        key(QEvent::KeyRelease, Qt::Key_Return); // the press closed a message box: nothing sent
        key(QEvent::KeyPress, Qt::Key_Return);
        key(QEvent::KeyRelease, Qt::Key_Return, true); // Enter held down: one message
        QVERIFY(w.log.isEmpty());
        key(QEvent::KeyRelease, Qt::Key_Enter);
        w.send("grazie");
        QCOMPARE(w.log.filter("setchat"),
                 (QStringList{"tre:setchat 57 YnVvbmdpb3Jubw== 0", "tre:setchat 57 Z3Jhemll 0"}));

        QCOMPARE(w.frm.windowTitle(), "Servizio clienti Quintaro");
        // 200 and 600 twips from the right and bottom edges of the 800x800 offscreen screen.
        QCOMPARE(w.frm.pos(), QPoint(800 - 425 - 13, 800 - 571 - 40));
        // One-line bubbles of 410 twips stacked from the top; the first has its own left edge.
        auto *canvas = w.frm.findChild<MessageCanvas *>("Picture1");
        QCOMPARE(canvas->count(), 25);
        for (int i = 0; i < 25; ++i) {
            QCOMPARE(canvas->bubble(i).Testo(), QString::number(i + 1));
            QCOMPARE(canvas->bubbleOriginTwips(i), QPointF(i == 0 ? 15 : 0, 410 * i));
        }
        // 25 x 410 twips end at 18.08 cm: the bar from 11 (the first message whole at the top,
        // never an empty list) to 19, at its end; the canvas 7.5 cm above the viewport's top.
        const auto *bar = w.frm.findChild<QScrollBar *>("VScroll1");
        QVERIFY(bar->isVisibleTo(&w.frm));
        QCOMPARE((QList<int>{bar->minimum(), bar->maximum(), bar->value(), canvas->y(),
                             canvas->height()}),
                 (QList<int>{11, 19, 19, -284, 683}));

        // Messages never take the focus; the customer's own request does.
        QVERIFY(!w.frm.isActiveWindow());
        w.frm.showForUser();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        QCOMPARE(QApplication::focusWidget(), w.textMsg);
    }

    // Every shape, badge, time, picture and text line lands on the pixels the widget-per-message
    // list painted, recorded in reference_conversation.png, down to row 502 where the last
    // message's old bubble rounded off: its width table estimated three lines for four.
    void paintsTheReferenceConversation() {
        QTemporaryDir appFolder;
        AppState::instance().ApplicationFolder = appFolder.path();
        QVERIFY(QDir(appFolder.path()).mkpath("TempImg"));
        QImage quarters(644, 322, QImage::Format_RGB32);
        quarters.fill(Qt::darkGreen);
        QPainter(&quarters).fillRect(0, 0, 322, 161, Qt::yellow);
        QVERIFY(quarters.save(appFolder.filePath("TempImg/schema.png")));
        QVERIFY(
            quarters.scaled(200, 100).save(appFolder.filePath("TempImg/57_20240305140700.jpg")));
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
        const QImage painted = w.frm.findChild<QWidget *>("Picture1")->grab().toImage();
        QCOMPARE(painted.size(), QSize(400, 529)); // the reference's width, grown by a line
        QCOMPARE(differingPixels(painted, QImage(QFINDTESTDATA("reference_conversation.png")), 502),
                 0);
        // The fourth line, "clienti.", white on the blue of the bubble that now holds it.
        const QImage line = painted.copy(72, 507, 60, 16).convertToFormat(QImage::Format_RGB32);
        const auto *pixels = reinterpret_cast<const QRgb *>(line.constBits());
        const auto blue = std::count(pixels, pixels + 60 * 16, qRgb(0, 132, 255));
        const auto white =
            std::count_if(pixels, pixels + 60 * 16, [](QRgb p) { return qGray(p) > 200; });
        QVERIFY2(blue > 400 && white > 40,
                 qPrintable(QStringLiteral("%1 %2").arg(blue).arg(white)));
    }

    // Dropped with Shift, which proposes a move that would let the file manager delete the
    // customer's files: copied. The text file refused, each picture previewed in turn.
    void droppedPicturesArePreviewedInTurn() {
        QTemporaryDir root;
        AppState::instance().ApplicationFolder = root.filePath("app");
        QVERIFY(QDir(root.path()).mkpath("app/TempImg"));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(root.filePath("a.png")));
        QVERIFY(picture.scaled(16, 16).save(root.filePath("b.png")));
        QFile note(root.filePath("note.txt"));
        QVERIFY(note.open(QIODevice::WriteOnly) && note.write("appunti\n") > 0);
        QMimeData mime;
        for (const char *file : {"note.txt", "a.png", "b.png", "a.png"})
            mime.setUrls(mime.urls() << QUrl::fromLocalFile(root.filePath(file)));
        mime.setText("note.txt\na.png\nb.png\na.png"); // file managers add the paths as text

        Window w;
        QStringList seen; // a box's text, else the dialog's caption
        QList<Answer> answers{Answer::CropAndSend, Answer::Send, Answer::Cancel};
        QTimer responder; // answers each dialog from inside its own event loop
        QObject::connect(&responder, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto *box = qobject_cast<QMessageBox *>(dialog);
            seen << (box ? "box " + box->text() : dialog->windowTitle());
            const Answer answer = box ? Answer::Send : answers.takeFirst();
            // The 64 x 48 picture shows at its own size, centred in the 240 x 160 area.
            if (auto *area = dialog->findChild<QWidget *>("CropArea");
                answer == Answer::CropAndSend) {
                QTest::mousePress(area, Qt::LeftButton, {}, QPoint(88, 56));
                QTest::mouseMove(area, QPoint(119, 71));
                QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(119, 71));
            }
            answer == Answer::Cancel ? dialog->reject() : dialog->accept();
        });
        responder.start(0);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                              Qt::ShiftModifier);
        QCoreApplication::sendEvent(w.textMsg, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                        Qt::ShiftModifier);
        QCoreApplication::sendEvent(w.textMsg, &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCoreApplication::processEvents(); // the previews come after the drop
        QCOMPARE(seen, (QStringList{"box Si possono inviare solo immagini.", "Invia immagine",
                                    "Invia immagine", "Invia immagine"}));
        QStringList sent; // "<file> <format> <width>x<height>" of each upload
        for (const QString &upload : w.log.filter(QRegularExpression("^upload "))) {
            QImageReader jpeg(upload.section(' ', 1));
            sent << QStringLiteral("%1 %2 %3x%4")
                        .arg(upload.section('/', -1), jpeg.format())
                        .arg(jpeg.size().width())
                        .arg(jpeg.size().height());
        }
        QCOMPARE(sent, (QStringList{"57_20240305140709.jpg jpeg 32x16",
                                    "57_20240305140710.jpg jpeg 16x16"}));
    }
};

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
