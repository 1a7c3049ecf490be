#include "ChatFakes.h"

#include "app/Units.h"
#include "chat/ChatFrm.h"
#include "chat/MessageCanvas.h"
#include "chat/MessageListGeometry.h"

#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

class TestChatFrm : public QObject {
    Q_OBJECT
private slots:
    void messageListGeometry_data();
    void messageListGeometry();
    void sendingStacksTheAnswersInTheCorner();
    void paintsTheReferenceConversation();
};

void TestChatFrm::messageListGeometry_data() {
    QTest::addColumn<float>("bottom");
    QTest::addColumn<int>("maximum"); // 0: no scroll bar, the canvas as high as the viewport
    QTest::addColumn<double>("canvasTop");
    QTest::newRow("exactly the viewport: no bar") << 11.5f << 0 << 0.0;
    QTest::newRow("15.3 cm: bar at 16, canvas up 4.5") << 15.3f << 16 << -4.5;
    QTest::newRow("14.5 rounds half to even, down") << 13.5f << 14 << -2.5;
}

void TestChatFrm::messageListGeometry() {
    QFETCH(float, bottom);
    QFETCH(int, maximum);
    const auto growth = MessageListGeometry::grow(bottom);
    QCOMPARE(float(growth.canvasHeightCm), maximum > 0 ? bottom : 11.5f);
    QCOMPARE(growth.scrollBarVisible, maximum > 0);
    QCOMPARE(growth.maximum, maximum);
    QCOMPARE(growth.value, maximum);
    if (maximum > 0)
        QTEST(MessageListGeometry::canvasTopCm(growth.value), "canvasTop");
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
    painted.save(QDir::temp().filePath("brenno_reference_conversation.png"));

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

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
