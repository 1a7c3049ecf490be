#include "ChatFakes.h"

#include "app/Units.h"
#include "bubble/CtrMsg.h"
#include "chat/ChatFrm.h"
#include "chat/MessageListGeometry.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestChatFrm : public QObject {
    Q_OBJECT
private slots:
    void messageListGeometry_data();
    void messageListGeometry();
    void sendingStacksTheAnswersInTheCorner();
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
    auto *canvas = frm.findChild<QWidget *>("Picture1");
    const QList<CtrMsg *> bubbles = canvas->findChildren<CtrMsg *>();
    QCOMPARE(bubbles.size(), kMessages);
    double bottomTwips = 0;
    for (int i = 0; i < kMessages; ++i) {
        QCOMPARE(bubbles[i]->Testo(), QString::number(i + 1));
        QVERIFY(bubbles[i]->isVisibleTo(&frm));
        if (i > 0)
            QCOMPARE(bubbles[i]->y(), Units::twipsToPixels(bottomTwips));
        bottomTwips += bubbles[i]->heightTwips();
    }
    const auto growth = MessageListGeometry::grow(float(Units::twipsToCm(bottomTwips)));
    const auto *bar = frm.findChild<QScrollBar *>("VScroll1");
    QVERIFY(growth.scrollBarVisible && bar->isVisibleTo(&frm));
    QCOMPARE(bar->maximum(), growth.maximum);
    QCOMPARE(bar->value(), growth.maximum);
    QCOMPARE(canvas->y(), Units::twipsToPixels(Units::cmToTwips(11.5 - growth.maximum)));
}

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
