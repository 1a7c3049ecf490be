#include "ChatFakes.h"

#include "app/Units.h"
#include "bubble/CtrMsg.h"
#include "chat/ChatFrm.h"
#include "chat/WindowPlacement.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

class TestChatFrm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void keyReleaseInTheInputBox_data();
    void keyReleaseInTheInputBox();
    void pressWithoutReleaseSendsNothing();
    void okButtonSendsAndEmptiesTheBox();
    void refusedTextStaysInTheBox();
    void closeImageHidesAndTheNextMessageShowsAgain();
    void bubblesStackAndTheListScrollsToTheEnd();

private:
    template<typename T> T *child(const char *name) {
        auto *found = m_frm->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    void deliver(int count);

    EffectLog m_log;
    QTemporaryDir m_root;
    std::unique_ptr<FakeChatService> m_service;
    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<ChatFrm> m_frm;
    QLineEdit *m_textMsg = nullptr;
};

void TestChatFrm::init() {
    m_log.clear();
    AppState &state = AppState::instance();
    state.VatNumber = QStringLiteral("01234567890");
    state.IdTicket = 57;
    state.ApplicationFolder = m_root.path();
    m_service = std::make_unique<FakeChatService>(m_log);
    m_clock = std::make_unique<FakeClock>();
    m_frm = std::make_unique<ChatFrm>(*m_service, *m_clock);
    m_textMsg = child<QLineEdit>("TextMsg");
}

void TestChatFrm::cleanup() {
    m_frm.reset();
}

void TestChatFrm::deliver(int count) {
    for (int id = 1; id <= count; ++id) {
        Answers::Message message;
        message.id = id;
        message.idOperatore = id % 2;
        message.testo = QStringLiteral("messaggio %1").arg(id);
        m_service->chatAnswers << Answers::message(message);
    }
    m_textMsg->setText(QStringLiteral("ciao"));
    QTest::mouseClick(child<QPushButton>("OKBtn"), Qt::LeftButton);
}

void TestChatFrm::keyReleaseInTheInputBox_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("sends");
    QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << true;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << true;
    QTest::newRow("Shift+Enter sends like Enter")
        << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
    QTest::newRow("Ctrl+Enter sends like Enter")
        << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
    QTest::newRow("a letter only types") << int(Qt::Key_A) << Qt::KeyboardModifiers() << false;
}

void TestChatFrm::keyReleaseInTheInputBox() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, sends);
    m_textMsg->setText(QStringLiteral("buongiorno"));
    m_service->setChatAnswer = Answers::status("setchat", "KO");

    QTest::keyClick(m_textMsg, Qt::Key(key), modifiers);

    const QStringList expected = sends ? QStringList{"due:getticket 01234567890",
                                                     "tre:setchat ticket=57 attach=0 buongiorno"}
                                       : QStringList();
    QCOMPARE(m_log, expected);
}

void TestChatFrm::pressWithoutReleaseSendsNothing() {
    m_textMsg->setText(QStringLiteral("buongiorno"));
    QTest::keyPress(m_textMsg, Qt::Key_Return);
    QVERIFY(m_log.isEmpty());
    QTest::keyRelease(m_textMsg, Qt::Key_Return);
    QCOMPARE(m_log.size(), 3);
}

void TestChatFrm::okButtonSendsAndEmptiesTheBox() {
    m_textMsg->setText(QStringLiteral("buongiorno"));
    QTest::mouseClick(child<QPushButton>("OKBtn"), Qt::LeftButton);
    QCOMPARE(m_log,
             (QStringList{"due:getticket 01234567890", "tre:setchat ticket=57 attach=0 buongiorno",
                          "tre:getchat id=57 letto=0 typing=0"}));
    QVERIFY(m_textMsg->text().isEmpty());
}

void TestChatFrm::refusedTextStaysInTheBox() {
    m_textMsg->setText(QStringLiteral("buongiorno"));
    m_service->setChatAnswer = QString();
    QTest::mouseClick(child<QPushButton>("OKBtn"), Qt::LeftButton);
    QCOMPARE(m_textMsg->text(), QStringLiteral("buongiorno"));
}

void TestChatFrm::closeImageHidesAndTheNextMessageShowsAgain() {
    m_frm->show();
    QTest::mouseClick(child<QToolButton>("ImgClose"), Qt::LeftButton);
    QVERIFY(!m_frm->isVisible());

    deliver(1);

    QVERIFY(m_frm->isVisible());
    const QScreen *screen = QGuiApplication::primaryScreen();
    QCOMPARE(m_frm->pos(),
             WindowPlacement::bottomRight(screen->geometry(), m_frm->frameGeometry().size()));
    QCOMPARE(m_frm->windowTitle(), QStringLiteral("Servizio clienti Quintaro"));
}

void TestChatFrm::bubblesStackAndTheListScrollsToTheEnd() {
    deliver(25);

    const QList<CtrMsg *> bubbles = child<QWidget>("Picture1")->findChildren<CtrMsg *>();
    QCOMPARE(bubbles.size(), 25);
    double bottomTwips = 0;
    for (int i = 0; i < bubbles.size(); ++i) {
        const CtrMsg *bubble = bubbles.at(i);
        QVERIFY(bubble->isVisibleTo(m_frm.get()));
        QCOMPARE(bubble->Testo(), QStringLiteral("messaggio %1").arg(i + 1));
        QVERIFY(bubble->heightTwips() > 0);
        if (i > 0)
            QCOMPARE(bubble->y(), Units::twipsToPixels(bottomTwips));
        bottomTwips += bubble->heightTwips();
    }
    QCOMPARE(bubbles.at(0)->BackColor(), 0x00FF8400u);
    QCOMPARE(bubbles.at(1)->BackColor(), 0x00F0E8E3u);

    const auto *bar = child<QScrollBar>("VScroll1");
    QVERIFY(bar->isVisibleTo(m_frm.get()));
    const int maximum = qRound(Units::twipsToCm(bottomTwips) + 1);
    QCOMPARE(bar->maximum(), maximum);
    QCOMPARE(bar->value(), maximum);
    const QWidget *canvas = child<QWidget>("Picture1");
    QCOMPARE(canvas->y(), Units::twipsToPixels(Units::cmToTwips(11.5 - maximum)));
    QVERIFY(canvas->isVisibleTo(m_frm.get()));
}

QTEST_MAIN(TestChatFrm)
#include "tst_chatfrm.moc"
