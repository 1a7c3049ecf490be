#include "FakeNotifications.h"
#include "PrivateSessionBus.h"

#include "tray/frmSysTray.h"

#include <QMenu>
#include <QTest>

#include <memory>

namespace {

// How the customer asks the tray for the chat.
enum class Gesture {
    MenuShowChat,
    DoubleClick,
    BalloonClick,
    LeftClick,
    MenuHide,
    // Qt's X11 tray reports a press on the icon under its balloon as a balloon click, then the
    // press.
    PressUnderTheBalloon,
};

} // namespace

Q_DECLARE_METATYPE(Gesture)

// The tray form without a desktop tray: its clicks come from the test as Qt's tray icon reports
// them, and its balloons reach a notification service on a bus of the test's own.
class TestTray : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateSessionBus> m_bus;
    FakeNotifications m_notifications;
    bool m_trayPresent = false;

    std::unique_ptr<frmSysTray> newForm() {
        return std::make_unique<frmSysTray>([this] { return m_trayPresent; },
                                            m_bus->connect("client"));
    }

    // The balloons shown so far as "title: text", known to be all once a last marker arrives:
    // everything leaves on one connection, in order.
    QStringList balloonsShown(frmSysTray &form) {
        const QString marker = QStringLiteral("marker");
        form.ShowMessageTray(marker);
        // The bound only ends a faulty run on a loaded machine; it measures nothing.
        if (!QTest::qWaitFor(
                [&] {
                    return !m_notifications.calls.isEmpty() &&
                           std::get<4>(m_notifications.calls.last()) == marker;
                },
                30000))
            return {QStringLiteral("no marker")};
        QStringList texts;
        for (const Notification &call : std::as_const(m_notifications.calls))
            texts << std::get<3>(call) + ": " + std::get<4>(call);
        texts.removeLast();
        m_notifications.calls.clear();
        return texts;
    }

private slots:
    void initTestCase() {
        m_bus = std::make_unique<PrivateSessionBus>();
        QVERIFY(m_bus->isRunning());
        QVERIFY(m_notifications.registerOn(m_bus->connect("desktop")));
    }

    void gesturesLeadToTheChat_data() {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<int>("ticket");
        QTest::addColumn<bool>("chatShown");
        QTest::addColumn<QStringList>("balloons");
        const QStringList none;
        const QStringList notice{"Solmara Chat: Nessuna chat attiva."};
        QTest::newRow("menu \"Visualizza chat\", no chat: the notice")
            << Gesture::MenuShowChat << 0 << false << notice;
        QTest::newRow("menu \"Visualizza chat\", a chat: shown")
            << Gesture::MenuShowChat << 7 << true << none;
        QTest::newRow("menu \"Visualizza chat\", ticket below 0: the notice")
            << Gesture::MenuShowChat << -1 << false << notice;
        QTest::newRow("double click, no chat: the notice")
            << Gesture::DoubleClick << 0 << false << notice;
        QTest::newRow("double click, a chat: shown") << Gesture::DoubleClick << 7 << true << none;
        QTest::newRow("balloon click, no chat: the notice")
            << Gesture::BalloonClick << 0 << false << notice;
        QTest::newRow("balloon click, a chat: shown") << Gesture::BalloonClick << 7 << true << none;
        QTest::newRow("press under the balloon: no click on it")
            << Gesture::PressUnderTheBalloon << 7 << false << none;
        QTest::newRow("single left click: nothing") << Gesture::LeftClick << 7 << false << none;
        QTest::newRow("menu \"Nascondi\": hidden, no balloon")
            << Gesture::MenuHide << 0 << false << none;
    }
    void gesturesLeadToTheChat() {
        QFETCH(Gesture, gesture);
        QFETCH(int, ticket);
        QWidget chat;
        const auto form = newForm();
        auto *icon = form->findChild<QSystemTrayIcon *>();
        connect(form.get(), &frmSysTray::showChat, &chat, &QWidget::show);
        connect(form.get(), &frmSysTray::hideChat, &chat, &QWidget::hide);
        form->setIdTicket(ticket);
        // The menu itself stays as it was: two commands with a separator between them.
        QCOMPARE(icon->contextMenu(), form->mnuSysTray());
        const QList<QAction *> items = form->mnuSysTray()->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), "Visualizza chat");
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), "Nascondi");
        switch (gesture) {
        case Gesture::MenuShowChat:
            items[0]->trigger();
            break;
        case Gesture::MenuHide:
            chat.show();
            items[2]->trigger();
            break;
        case Gesture::DoubleClick:
            emit icon->activated(QSystemTrayIcon::Trigger);
            emit icon->activated(QSystemTrayIcon::DoubleClick);
            break;
        case Gesture::BalloonClick:
            emit icon->messageClicked();
            break;
        case Gesture::PressUnderTheBalloon:
            emit icon->messageClicked();
            emit icon->activated(QSystemTrayIcon::Context);
            break;
        case Gesture::LeftClick:
            emit icon->activated(QSystemTrayIcon::Trigger);
            break;
        }
        QCoreApplication::processEvents(); // a balloon click settles in a later turn of the loop
        QTEST(balloonsShown(*form), "balloons");
        QTEST(chat.isVisible(), "chatShown");
    }

    // Balloons go to the tray while there is one, else to the desktop's notifications.
    void balloonsWithoutTrayAreNotifications() {
        const auto form = newForm();
        m_trayPresent = true;
        form->ShowMessageTray("Un fumetto, col vassoio.");
        m_trayPresent = false;
        form->ShowMessageTray("Chat terminata.");
        QVERIFY(QTest::qWaitFor([&] { return !m_notifications.calls.isEmpty(); }, 30000));
        QCOMPARE(m_notifications.calls,
                 (QList<Notification>{
                     {"Brenno", 0, "brenno", "Solmara Chat", "Chat terminata.", {}, {}, 30000}}));
        m_notifications.calls.clear();
    }

    void fallbackRunsOnceOnlyWithoutTray_data() {
        QTest::addColumn<bool>("trayAtStart");
        QTest::addColumn<bool>("trayAtDeadline");
        QTest::addColumn<int>("fallbacks");
        QTest::newRow("tray at start: none") << true << false << 0;
        QTest::newRow("tray came during the grace: none") << false << true << 0;
        QTest::newRow("no tray by the deadline: once") << false << false << 1;
    }
    void fallbackRunsOnceOnlyWithoutTray() {
        QFETCH(bool, trayAtStart);
        bool trayPresent = trayAtStart;
        int ran = 0;
        NoTrayFallback watch([&trayPresent] { return trayPresent; }, QDBusConnection("none"),
                             std::chrono::seconds(15));
        connect(&watch, &NoTrayFallback::noTray, [&ran] { ++ran; });
        QFETCH(bool, trayAtDeadline);
        trayPresent = trayAtDeadline;
        watch.graceElapsed();
        watch.graceElapsed();
        QTEST(ran, "fallbacks");
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
