#include "ChatFakes.h"

#include "app/Units.h"
#include "chat/ChatFrm.h"
#include "chat/MessageCanvas.h"
#include "chat/MessageListGeometry.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

// How a picture reaches the chat window.
enum class Source { PasteData, PasteText, PasteFiles, DropOnWindow, DropOnInput, Menu };
// What the customer does in the preview.
enum class Answer { Send, CropAndSend, Cancel };

namespace {
// Answers every box, menu and dialog that opens while it lives, and notes each: "box <text>",
// "menu <items>", "file dialog <title>", "preview".
class ModalDriver : public QObject {
public:
    ModalDriver(Answer answer, const QString &toPick)
        : m_answer(answer)
        , m_toPick(toPick) {
        qApp->installEventFilter(this);
    }
    ~ModalDriver() override { qApp->removeEventFilter(this); }

    QStringList seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *window = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Show && window && window->isWindow() &&
            (qobject_cast<QDialog *>(window) || qobject_cast<QMenu *>(window)))
            QMetaObject::invokeMethod(
                this, [this, shown = QPointer<QWidget>(window)] { answer(shown); },
                Qt::QueuedConnection);
        return false;
    }

private:
    void answer(QWidget *window) {
        if (auto *box = qobject_cast<QMessageBox *>(window)) {
            seen << "box " + box->text();
            box->accept();
        } else if (auto *menu = qobject_cast<QMenu *>(window)) {
            QStringList items;
            for (const QAction *action : menu->actions())
                if (!action->isSeparator())
                    items << action->text().section('\t', 0, 0).remove('&');
            seen << "menu " + items.join(", ");
            menu->setActiveAction(menu->actions().last());
            QTest::keyClick(menu, Qt::Key_Return);
        } else if (auto *files = qobject_cast<QFileDialog *>(window)) {
            seen << "file dialog " + files->windowTitle();
            files->selectFile(m_toPick);
            static_cast<QDialog *>(files)->accept(); // QFileDialog hides it
        } else if (window && window->windowTitle() == "Invia immagine") {
            seen << "preview";
            // The 64 x 48 picture shows at its own size, centred in the 240 x 160 area.
            auto *area = window->findChild<QWidget *>("CropArea");
            if (m_answer == Answer::CropAndSend) {
                QTest::mousePress(area, Qt::LeftButton, {}, QPoint(88, 56));
                QTest::mouseMove(area, QPoint(119, 71));
                QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(119, 71));
            }
            const QString button = m_answer == Answer::Cancel ? "Annulla" : "Invia";
            for (QPushButton *candidate : window->findChildren<QPushButton *>())
                if (candidate->text() == button)
                    candidate->click();
        }
    }

    Answer m_answer;
    QString m_toPick;
};
} // namespace

class TestChatFrm : public QObject {
    Q_OBJECT
private slots:
    void aListAsHighAsTheViewportHasNoBar();
    void sendingStacksTheAnswersInTheCorner();
    void paintsTheReferenceConversation();
    void picturesArePreviewedThenSent_data();
    void picturesArePreviewedThenSent();
};

// The other sizes of the list are checked on the window below.
void TestChatFrm::aListAsHighAsTheViewportHasNoBar() {
    QVERIFY(!MessageListGeometry::grow(11.5f).scrollBarVisible);
    QVERIFY(MessageListGeometry::grow(11.51f).scrollBarVisible);
}

void TestChatFrm::sendingStacksTheAnswersInTheCorner() {
    constexpr int kMessages = 25;
    EffectLog log;
    FakeChatService service(log);
    FakeClock clock;
    for (int id = 1; id <= kMessages; ++id)
        service.chatAnswers << Answers::message({id, id % 2, QString::number(id)});
    AppState::instance().VatNumber = QStringLiteral("01234567890");
    ChatFrm frm(service, clock);
    auto *textMsg = frm.findChild<QLineEdit *>("TextMsg");
    const auto key = [textMsg](QEvent::Type type, int key, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QCoreApplication::sendEvent(textMsg, &event);
    };
    textMsg->setText(QStringLiteral("buongiorno"));
    key(QEvent::KeyRelease, Qt::Key_Return); // the press closed a message box: nothing sent
    QVERIFY(log.isEmpty());
    key(QEvent::KeyPress, Qt::Key_Return);
    key(QEvent::KeyRelease, Qt::Key_Return, true); // Enter held down: one message
    QVERIFY(log.isEmpty());
    key(QEvent::KeyRelease, Qt::Key_Enter);
    QVERIFY(textMsg->text().isEmpty());
    textMsg->setText(QStringLiteral("grazie"));
    QTest::mouseClick(frm.findChild<QPushButton *>("OKBtn"), Qt::LeftButton);
    QCOMPARE(log.filter("setchat"), (QStringList{"tre:setchat 57 YnVvbmdpb3Jubw== 0", // buongiorno
                                                 "tre:setchat 57 Z3Jhemll 0"}));      // grazie

    QCOMPARE(frm.windowTitle(), "Servizio clienti Quintaro");
    // 200 and 600 twips from the right and bottom edges of the 800x800 offscreen screen.
    QCOMPARE(frm.pos(), QPoint(800 - 425 - 13, 800 - 571 - 40));
    // One-line bubbles of 410 twips stacked from the top; the first has its own left edge.
    auto *canvas = frm.findChild<MessageCanvas *>("Picture1");
    QCOMPARE(canvas->count(), kMessages);
    for (int i = 0; i < kMessages; ++i) {
        QCOMPARE(canvas->bubble(i).Testo(), QString::number(i + 1));
        QCOMPARE(canvas->bubbleOriginTwips(i), QPointF(i == 0 ? 15 : 0, 410 * i));
    }
    // 25 x 410 twips end at 18.08 cm: maximum 19, the canvas 7.5 cm above the viewport's top.
    const auto *bar = frm.findChild<QScrollBar *>("VScroll1");
    QVERIFY(bar->isVisibleTo(&frm));
    QCOMPARE(bar->minimum(), 11); // the first message whole at the top, never an empty list
    QCOMPARE(bar->maximum(), 19);
    QCOMPARE(bar->value(), 19);
    QCOMPARE(canvas->y(), -284);
    QCOMPARE(canvas->height(), 683);

    // Messages never take the focus; the customer's own request does.
    QVERIFY(!frm.isActiveWindow());
    frm.showForUser();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    QCOMPARE(QApplication::focusWidget(), textMsg);
}

namespace {
// The last message used to lose its fourth line: the width table estimated three.
const QString kCutText = QStringLiteral(
    "Ho controllato il suo archivio: i dati sono corretti, ma l'ultimo aggiornamento non ha "
    "completato la sincronizzazione dell'archivio clienti.");
// Rows above the rounded lower corners of that message's old, too short bubble.
constexpr int kSameRows = 502;
// Where the fourth line, "clienti.", lies now that the bubble holds it.
constexpr QRect kFourthLine(72, 507, 60, 16);

// The time column between the badge and the bubbles: the old list drew the time black instead
// of its grey, so there only how much of each pixel the glyphs cover is compared.
constexpr int kTimeColumnLeft = 29;
constexpr int kTimeColumnRight = 64;
constexpr int kOldTimeGrey = 0;
constexpr int kTimeGrey = 128;

bool isGrey(const QColor &pixel) {
    return pixel.red() == pixel.green() && pixel.green() == pixel.blue();
}

double inkCover(const QColor &pixel, int inkGrey) {
    return (255 - qGray(pixel.rgb())) / double(255 - inkGrey);
}

// Pixels differ when any channel differs by more than glyph antialiasing would.
int differingPixels(const QImage &painted, const QImage &reference, int rows) {
    int differing = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < painted.width(); ++x) {
            const QColor p = painted.pixelColor(x, y), q = reference.pixelColor(x, y);
            if (x >= kTimeColumnLeft && x < kTimeColumnRight && isGrey(p) && isGrey(q)) {
                if (qAbs(inkCover(p, kTimeGrey) - inkCover(q, kOldTimeGrey)) > 0.25)
                    ++differing;
            } else if (qMax(qMax(qAbs(p.red() - q.red()), qAbs(p.green() - q.green())),
                            qAbs(p.blue() - q.blue())) > 64) {
                ++differing;
            }
        }
    return differing;
}
} // namespace

// Every shape, badge, time, picture and text line lands on the pixels the widget-per-message list
// painted, recorded in reference_conversation.png.
void TestChatFrm::paintsTheReferenceConversation() {
    QTemporaryDir appFolder;
    AppState::instance().ApplicationFolder = appFolder.path();
    QVERIFY(QDir(appFolder.path()).mkpath("TempImg"));
    QImage quarters(644, 322, QImage::Format_RGB32);
    quarters.fill(Qt::darkGreen);
    QPainter(&quarters).fillRect(0, 0, 322, 161, Qt::yellow);
    QVERIFY(quarters.save(appFolder.filePath("TempImg/schema.png")));
    QVERIFY(quarters.scaled(200, 100).save(appFolder.filePath("TempImg/57_20240305140700.jpg")));

    EffectLog log;
    FakeChatService service(log);
    FakeClock clock;
    service.chatAnswers
        << Answers::message({1, 7, QStringLiteral("Buongiorno, sono Marco. Come posso aiutarla?")})
        << Answers::message(
               {2, 0, QStringLiteral("Il programma si blocca<br>quando apro le fatture")})
        << Answers::message({3, 7, QStringLiteral("https://www.quintaro.it/assistenza")})
        << Answers::message({4, 7, QStringLiteral("schema.png"), 1})
        << Answers::message({5, 0, QStringLiteral("57_20240305140700.jpg"), 1})
        << Answers::message({6, 7, kCutText});
    AppState::instance().VatNumber = QStringLiteral("01234567890");
    ChatFrm frm(service, clock);
    auto *textMsg = frm.findChild<QLineEdit *>("TextMsg");
    textMsg->setText(QStringLiteral("aiuto"));
    QTest::mouseClick(frm.findChild<QPushButton *>("OKBtn"), Qt::LeftButton);
    auto *canvas = frm.findChild<QWidget *>("Picture1");
    const QImage painted = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);

    const QImage reference =
        QImage(QFINDTESTDATA("reference_conversation.png")).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(painted.width(), reference.width());
    QVERIFY(painted.height() >= kSameRows && reference.height() >= kSameRows);
    QCOMPARE(differingPixels(painted, reference, kSameRows), 0);

    QCOMPARE(painted.height(), 529); // the canvas grew by the line the old bubble cut off
    int blue = 0, white = 0;
    for (int y = kFourthLine.top(); y <= kFourthLine.bottom(); ++y)
        for (int x = kFourthLine.left(); x <= kFourthLine.right(); ++x) {
            const QRgb pixel = painted.pixel(x, y);
            blue += pixel == qRgb(0, 132, 255);
            white += qGray(pixel) > 200;
        }
    QVERIFY2(blue > 400 && white > 40, qPrintable(QStringLiteral("%1 %2").arg(blue).arg(white)));
}

void TestChatFrm::picturesArePreviewedThenSent_data() {
    QTest::addColumn<Source>("source");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<QStringList>("sent"); // "<file> <width>x<height>" of each upload
    QTest::addColumn<QString>("input");
    const QString first = QStringLiteral("57_20240305140709.jpg ");
    const QString second = QStringLiteral("57_20240305140710.jpg ");
    const QString refused = QStringLiteral("box Si possono inviare solo immagini.");
    QTest::newRow("Ctrl+V with a picture: preview, then sent")
        << Source::PasteData << QStringList() << Answer::Send << QStringList{"preview"}
        << QStringList{first + "64x48"} << "";
    QTest::newRow("Ctrl+V with text pastes the text")
        << Source::PasteText << QStringList() << Answer::Send << QStringList() << QStringList()
        << "buongiorno";
    QTest::newRow("Ctrl+V with copied picture files: one preview each, in order")
        << Source::PasteFiles << QStringList{"b.png", "a.png"} << Answer::Send
        << QStringList{"preview", "preview"} << QStringList{first + "32x16", second + "64x48"}
        << "";
    QTest::newRow("drop on the window: one preview each, in order")
        << Source::DropOnWindow << QStringList{"a.png", "b.png"} << Answer::Send
        << QStringList{"preview", "preview"} << QStringList{first + "64x48", second + "32x16"}
        << "";
    QTest::newRow("drop on the input box: the text file refused, the picture sent")
        << Source::DropOnInput << QStringList{"note.txt", "a.png"} << Answer::Send
        << QStringList{refused, "preview"} << QStringList{first + "64x48"} << "";
    QTest::newRow("crop: only the dragged part")
        << Source::PasteData << QStringList() << Answer::CropAndSend << QStringList{"preview"}
        << QStringList{first + "32x16"} << "";
    QTest::newRow("Annulla: nothing leaves") << Source::PasteData << QStringList() << Answer::Cancel
                                             << QStringList{"preview"} << QStringList() << "";
    QTest::newRow("the input box's menu picks a file")
        << Source::Menu << QStringList{"a.png"} << Answer::Send
        << QStringList{"menu Undo, Redo, Cut, Copy, Paste, Delete, Select All, "
                       "Invia un'immagine...",
                       "file dialog Invia un'immagine...", "preview"}
        << QStringList{first + "64x48"} << "";
}

void TestChatFrm::picturesArePreviewedThenSent() {
    QFETCH(Source, source);
    QFETCH(QStringList, files);
    QFETCH(Answer, answer);
    QTemporaryDir root;
    AppState::instance().ApplicationFolder = root.filePath("app");
    QVERIFY(QDir(root.path()).mkpath("app/TempImg"));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(root.filePath("a.png")));
    QVERIFY(picture.scaled(32, 16).save(root.filePath("b.png")));
    QFile note(root.filePath("note.txt"));
    QVERIFY(note.open(QIODevice::WriteOnly) && note.write("appunti\n") > 0);
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &file : files)
        urls << QUrl::fromLocalFile(root.filePath(file));
    mime->setUrls(urls);
    mime->setText(files.join('\n')); // file managers add the paths as text

    EffectLog log;
    FakeChatService service(log);
    FakeClock clock;
    AppState::instance().VatNumber = QStringLiteral("01234567890");
    ChatFrm frm(service, clock);
    auto *textMsg = frm.findChild<QLineEdit *>("TextMsg");
    ModalDriver driver(answer, files.isEmpty() ? QString() : root.filePath(files.first()));
    const auto drop = [mime](QWidget *target) {
        // Shift proposes a move, which would let the file manager delete the customer's file.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                              Qt::ShiftModifier);
        QCoreApplication::sendEvent(target, &enter);
        QCOMPARE(enter.proposedAction(), Qt::MoveAction);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                           Qt::ShiftModifier);
        QCoreApplication::sendEvent(target, &dropped);
        QVERIFY(dropped.isAccepted());
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
        delete mime;
        QCoreApplication::processEvents(); // the previews come after the drop
    };
    switch (source) {
    case Source::PasteData:
        delete mime;
        QGuiApplication::clipboard()->setImage(picture);
        break;
    case Source::PasteText:
        delete mime;
        QGuiApplication::clipboard()->setText("buongiorno");
        break;
    case Source::PasteFiles:
        QGuiApplication::clipboard()->setMimeData(mime);
        break;
    case Source::DropOnWindow:
        drop(&frm);
        break;
    case Source::DropOnInput:
        drop(textMsg);
        break;
    case Source::Menu: {
        delete mime;
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                               frm.mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(textMsg, &menu);
        break;
    }
    }
    if (source == Source::PasteData || source == Source::PasteText || source == Source::PasteFiles)
        QTest::keyClick(textMsg, Qt::Key_V, Qt::ControlModifier);

    QTEST(driver.seen, "seen");
    QStringList sent;
    for (const QString &upload : log.filter(QRegularExpression("^upload "))) {
        const QImageReader jpeg(upload.section(' ', 1));
        sent << upload.section('/', -1) + ' ' + (jpeg.format() == "jpeg" ? "" : "not JPEG ") +
                    QStringLiteral("%1x%2").arg(jpeg.size().width()).arg(jpeg.size().height());
    }
    QTEST(sent, "sent");
    // Each picture sent asks for the ticket once; before "Invia" nothing leaves.
    QCOMPARE(log.filter("getticket").size(), sent.size());
    QCOMPARE(log.filter(QRegularExpression("^tre:setchat .* 1$")).size(), sent.size());
    QTEST(textMsg->text(), "input");
}

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
