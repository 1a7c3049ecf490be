#include "FakeNotifications.h"
#include "PrivateSessionBus.h"

#include "core/AppState.h"
#include "tray/QtTrayIconBackend.h"
#include "tray/frmSysTray.h"

#include <QMenu>
#include <QTest>

namespace {

std::unique_ptr<QtTrayIconBackend> backendWithTray() {
    return std::make_unique<QtTrayIconBackend>([] { return true; }, QDBusConnection("none"));
}

// The desktop side as the tray form sees it: clicks come from the test, balloons are noted as
// "title: text".
class FakeTrayBackend : public TrayIconBackend {
public:
    explicit FakeTrayBackend(QStringList &balloons)
        : m_balloons(balloons) {}
    void click(TrayClick click) { m_handler(click); }

    void setClickHandler(std::function<void(TrayClick click)> handler) override {
        m_handler = std::move(handler);
    }
    bool trayAvailable() const override { return true; }
    void setIcon(const QIcon &) override {}
    void setToolTip(const QString &) override {}
    void showMessage(const QString &title, const QString &message, QSystemTrayIcon::MessageIcon,
                     int) override {
        m_balloons << title + ": " + message;
    }
    void show() override {}
    void remove() override {}

private:
    QStringList &m_balloons;
    std::function<void(TrayClick click)> m_handler;
};

// How the customer asks the tray for the chat.
enum class Gesture { MenuShowChat, DoubleClick, BalloonClick, LeftClick, MenuHide };

} // namespace

Q_DECLARE_METATYPE(Gesture)

class TestTray : public QObject {
    Q_OBJECT
private slots:
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
        QTest::newRow("double click, no chat: the notice")
            << Gesture::DoubleClick << 0 << false << notice;
        QTest::newRow("double click, a chat: shown") << Gesture::DoubleClick << 7 << true << none;
        QTest::newRow("balloon click, no chat: the notice")
            << Gesture::BalloonClick << 0 << false << notice;
        QTest::newRow("balloon click, a chat: shown") << Gesture::BalloonClick << 7 << true << none;
        QTest::newRow("single left click: nothing") << Gesture::LeftClick << 7 << false << none;
        QTest::newRow("menu \"Nascondi\": hidden, no balloon")
            << Gesture::MenuHide << 0 << false << none;
    }
    void gesturesLeadToTheChat() {
        QFETCH(Gesture, gesture);
        QFETCH(int, ticket);
        QWidget chat;
        AppState::instance().chatWindow = &chat;
        AppState::instance().IdTicket = ticket;
        QStringList balloons;
        auto backend = std::make_unique<FakeTrayBackend>(balloons);
        FakeTrayBackend &desktop = *backend;
        frmSysTray form(std::move(backend));
        form.setShowChat([&chat] { chat.show(); });
        const QList<QAction *> items = form.mnuSysTray()->actions();
        // The menu itself stays as it was: two commands with a separator between them.
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
            desktop.click(TrayClick::DoubleClick);
            break;
        case Gesture::BalloonClick:
            desktop.click(TrayClick::BalloonClicked);
            break;
        case Gesture::LeftClick:
            desktop.click(TrayClick::LeftClick);
            break;
        }
        QTEST(chat.isVisible(), "chatShown");
        QTEST(balloons, "balloons");
        AppState::instance().chatWindow = nullptr;
    }

    void formSpeaksThroughNotificationsWithoutTray() {
        PrivateSessionBus bus;
        QVERIFY(bus.isRunning());
        FakeNotifications notifications;
        QVERIFY(notifications.registerOn(bus.connect("desktop")));
        bool trayPresent = true;
        auto backend =
            std::make_unique<QtTrayIconBackend>([&] { return trayPresent; }, bus.connect("client"));
        auto *icon = backend->findChild<QSystemTrayIcon *>();
        auto older = std::make_unique<frmSysTray>(backendWithTray());
        auto form = std::make_unique<frmSysTray>(std::move(backend));
        older.reset(); // the chat session reaches the newest form
        QCOMPARE(AppState::instance().trayForm, static_cast<TrayNotifier *>(form.get()));
        AppState::instance().IdTicket = 0;
        // All leave on one connection in order, so a notification for the first comes first.
        form->ShowMessageTray("Un fumetto, col vassoio.");
        trayPresent = false;
        form->ShowMessageTray("Chat terminata.");
        emit icon->activated(QSystemTrayIcon::DoubleClick); // as "Visualizza chat" without a ticket
        form->mnuSysTray()->actions().first()->trigger();
        // The bound only ends a faulty run on a loaded machine; it measures nothing.
        QVERIFY(QTest::qWaitFor([&] { return notifications.calls.size() >= 3; }, 30000));
        QCOMPARE(
            notifications.calls,
            (QList<Notification>{
                {"Brenno", 0, "brenno", "Solmara Chat", "Chat terminata.", {}, {}, 30000},
                {"Brenno", 0, "brenno", "Solmara Chat", "Nessuna chat attiva.", {}, {}, 30000},
                {"Brenno", 0, "brenno", "Solmara Chat", "Nessuna chat attiva.", {}, {}, 30000}}));
        form.reset();
        QCOMPARE(AppState::instance().trayForm, nullptr);
    }

    void tooltipKeepsAstralCharactersWhole() {
        const QString a126(126, 'a');
        const QString smile = QString::fromUcs4(U"\U0001F600");
        auto backend = backendWithTray();
        auto *icon = backend->findChild<QSystemTrayIcon *>();
        clsSysTray tray(std::move(backend));
        tray.setTooltipText(a126 + smile + 'b');
        QCOMPARE(icon->toolTip(), a126 + smile);
        tray.setTooltipText(a126 + 'b' + smile);
        QCOMPARE(icon->toolTip(), a126 + 'b');
    }

    void fallbackRunsOnceOnlyWithoutTray_data() {
        QTest::addColumn<bool>("trayAtDeadline");
        QTest::addColumn<int>("fallbacks");
        QTest::newRow("tray came during the grace: none") << true << 0;
        QTest::newRow("no tray by the deadline: once") << false << 1;
    }
    void fallbackRunsOnceOnlyWithoutTray() {
        bool trayPresent = false;
        int ran = 0;
        NoTrayFallback watch([&trayPresent] { return trayPresent; }, std::chrono::seconds(15));
        watch.setFallback([&ran] { ++ran; });
        QFETCH(bool, trayAtDeadline);
        trayPresent = trayAtDeadline;
        watch.graceElapsed();
        watch.graceElapsed();
        QTEST(ran, "fallbacks");
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
