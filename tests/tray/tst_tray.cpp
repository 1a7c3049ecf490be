#include "PrivateSessionBus.h"

#include "core/AppState.h"
#include "tray/QtTrayIconBackend.h"
#include "tray/frmSysTray.h"

#include <QMenu>
#include <QTest>

namespace {

// Application, replaced id, icon, summary, body, actions, hints, timeout.
using Notification =
    std::tuple<QString, uint, QString, QString, QString, QStringList, QVariantMap, int>;

// The desktop's notification service.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<Notification> calls;
public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout) {
        calls << Notification{appName, replacesId, appIcon, summary,
                              body,    actions,    hints,   expireTimeout};
        return uint(calls.size());
    }
};

std::unique_ptr<QtTrayIconBackend> backendWithTray() {
    return std::make_unique<QtTrayIconBackend>([] { return true; }, QDBusConnection("none"));
}

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void formSpeaksThroughNotificationsWithoutTray() {
        PrivateSessionBus bus;
        QVERIFY(bus.isRunning());
        QDBusConnection desktop = bus.connect("desktop");
        FakeNotifications notifications;
        QVERIFY(desktop.registerService("org.freedesktop.Notifications"));
        QVERIFY(desktop.registerObject("/org/freedesktop/Notifications", &notifications,
                                       QDBusConnection::ExportAllSlots));
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
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        form->mnuSysTray()->actions().first()->trigger(); // "Visualizza chat" without a ticket
        // The bound only ends a faulty run on a loaded machine; it measures nothing.
        QVERIFY(QTest::qWaitFor([&] { return notifications.calls.size() >= 3; }, 30000));
        QCOMPARE(
            notifications.calls,
            (QList<Notification>{
                {"Brenno", 0, "brenno", "Solmara Chat", "Chat terminata.", {}, {}, 30000},
                {"Brenno", 0, "brenno", "Balloon wTip", "Double click tray icon", {}, {}, 30000},
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
