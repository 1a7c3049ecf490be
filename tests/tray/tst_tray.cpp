#include "FakeNotifications.h"
#include "PrivateSessionBus.h"

#include "tray/frmSysTray.h"

#include <QMenu>
#include <QTest>

#include <functional>

static Notification balloon(const QString &text) {
    return {"Brenno", 0, "brenno", "Solmara Chat", text, {}, {}, 30000};
}

// The tray form without a desktop tray: the test reports clicks as Qt's tray icon does, and
// balloons reach a notification service on a bus of the test's own.
class TestTray : public QObject {
    Q_OBJECT
    PrivateSessionBus m_bus;
    FakeNotifications m_notifications;

    // All notifications so far, the marker sent last among them once it arrives (one connection
    // keeps the order); the bound only ends a faulty run, which then compares unequal.
    QList<Notification> notifications(frmSysTray &form) {
        form.ShowMessageTray("fine");
        (void)QTest::qWaitFor(
            [this] {
                return !m_notifications.calls.isEmpty() &&
                       std::get<4>(m_notifications.calls.last()) == "fine";
            },
            30000);
        return std::exchange(m_notifications.calls, {});
    }

private slots:
    void initTestCase() { QVERIFY(m_notifications.registerOn(m_bus.connect("desktop"))); }

    // steps: 0 and 2 the menu's items, b a click on the balloon, t d c a left, double and right
    // click on the icon. Qt's X11 tray reports a press on the icon under its balloon as "bc".
    void gesturesLeadToTheChat_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("ticket");
        QTest::addColumn<bool>("chatShown");
        QTest::addColumn<QList<Notification>>("notifications");
        const QList<Notification> none{balloon("fine")},
            notice{balloon("Nessuna chat attiva."), balloon("fine")};
        QTest::newRow("\"Visualizza chat\", no chat") << "0" << 0 << false << notice;
        QTest::newRow("\"Visualizza chat\", a chat") << "0" << 7 << true << none;
        QTest::newRow("double click, a chat") << "td" << 7 << true << none;
        QTest::newRow("balloon click, ticket -1: no chat") << "b" << -1 << false << notice;
        QTest::newRow("press under the balloon") << "bc" << 7 << false << none;
        QTest::newRow("left click") << "t" << 7 << false << none;
        QTest::newRow("\"Nascondi\"") << "02" << 7 << false << none;
    }
    void gesturesLeadToTheChat() {
        QFETCH(QString, steps);
        QFETCH(int, ticket);
        QWidget chat;
        frmSysTray form([] { return false; }, m_bus.connect("client"));
        auto *icon = form.findChild<QSystemTrayIcon *>();
        connect(&form, &frmSysTray::showChat, &chat, &QWidget::show);
        connect(&form, &frmSysTray::hideChat, &chat, &QWidget::hide);
        form.setIdTicket(ticket);
        const QList<QAction *> items = icon->contextMenu()->actions();
        QStringList captions;
        for (const QAction *item : items)
            captions << (item->isSeparator() ? "-" : item->text());
        QCOMPARE(captions, QStringList({"Visualizza chat", "-", "Nascondi"}));
        const QHash<QChar, std::function<void()>> act{
            {'0', [&] { items[0]->trigger(); }},
            {'2', [&] { items[2]->trigger(); }},
            {'b', [&] { emit icon->messageClicked(); }},
            {'t', [&] { emit icon->activated(QSystemTrayIcon::Trigger); }},
            {'d', [&] { emit icon->activated(QSystemTrayIcon::DoubleClick); }},
            {'c', [&] { emit icon->activated(QSystemTrayIcon::Context); }}};
        for (const QChar step : steps)
            act[step]();
        QCoreApplication::processEvents(); // a balloon click settles in a later turn of the loop
        QTEST(notifications(form), "notifications");
        QTEST(chat.isVisible(), "chatShown");
    }

    void fallbackRunsOnceOnlyWithoutTray_data() {
        QTest::addColumn<bool>("trayAtStart");
        QTest::addColumn<bool>("trayAtDeadline");
        QTest::addColumn<int>("fallbacks");
        QTest::newRow("tray at start") << true << false << 0;
        QTest::newRow("tray came during the grace") << false << true << 0;
        QTest::newRow("no tray by the deadline") << false << false << 1;
    }
    void fallbackRunsOnceOnlyWithoutTray() {
        QFETCH(bool, trayAtStart);
        QFETCH(bool, trayAtDeadline);
        bool trayPresent = trayAtStart;
        int ran = 0;
        NoTrayFallback watch([&] { return trayPresent; }, QDBusConnection("none"),
                             std::chrono::seconds(15));
        connect(&watch, &NoTrayFallback::noTray, [&ran] { ++ran; });
        trayPresent = trayAtDeadline;
        watch.graceElapsed();
        watch.graceElapsed();
        QTEST(ran, "fallbacks");
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
