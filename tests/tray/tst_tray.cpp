#include "PrivateSessionBus.h"

#include "core/AppState.h"
#include "tray/NoTrayFallback.h"
#include "tray/QtTrayIconBackend.h"
#include "tray/QtTrayIconClicks.h"
#include "tray/ShowNoticeBox.h"
#include "tray/frmSysTray.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using List = QStringList;

namespace {

// Bounds waits for the private bus on a loaded machine so that a fault ends the test; it
// measures nothing.
constexpr int kBusPatienceMs = 30000;

// What Qt's tray reports (a press of the icon by Qt's own reason, or a balloon click), and a
// return to the event loop.
enum class QtReport {
    Trigger = QSystemTrayIcon::Trigger,
    Context = QSystemTrayIcon::Context,
    DoubleClick = QSystemTrayIcon::DoubleClick,
    MiddleClick = QSystemTrayIcon::MiddleClick,
    BalloonClicked = 100,
    NextTurn,
};

// The desktop's notification service, recording each Notify call with its arguments.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout) {
        calls << QString("%1|%2|%3|%4|%5|%6|%7|%8")
                     .arg(appName)
                     .arg(replacesId)
                     .arg(appIcon, summary, body, actions.join(','), hints.keys().join(','))
                     .arg(expireTimeout);
        return uint(calls.size());
    }
};

// What the tray asked of the desktop, in order; outlives the backend so that removal shows.
struct DesktopLog {
    QStringList calls;
    std::function<void(qint32 code)> click;
};

struct FakeTrayIconBackend : TrayIconBackend {
    explicit FakeTrayIconBackend(DesktopLog &log)
        : desktop(log) {}
    void setShellCodeHandler(std::function<void(qint32 code)> handler) override {
        desktop.click = std::move(handler);
    }
    void setIcon(const QIcon &icon) override {
        desktop.calls << "icon " + QString::number(icon.cacheKey());
    }
    void setToolTip(const QString &text) override { desktop.calls << "tip " + text; }
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override {
        desktop.calls
            << QString("balloon %1|%2|%3|%4").arg(title, message).arg(icon).arg(timeoutMs);
    }
    void show() override { desktop.calls << "show"; }
    void remove() override { desktop.calls << "remove"; }
    DesktopLog &desktop;
};

// A tray form on a recording desktop with a tray, and its chat window; notices go to the log.
struct Tray {
    Tray() {
        AppState::instance().chatWindow = &chat;
        form = std::make_unique<frmSysTray>(
            std::make_unique<FakeTrayIconBackend>(log),
            std::make_unique<NoTrayFallback>([] { return true; }, std::chrono::seconds(15)),
            [this](const QString &title, const QString &text) {
                log.calls << "notice " + title + '|' + text;
            });
        form->setShowChat([this] { chat.show(); });
    }
    QWidget chat;
    DesktopLog log;
    std::unique_ptr<frmSysTray> form;
};

} // namespace

Q_DECLARE_METATYPE(QtReport)

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void noticeBoxKeepsApplicationRunning();
    void desktopInputRaisesEvents();
    void qtReportsBecomeShellCodes_data();
    void qtReportsBecomeShellCodes();
    void balloonsWithoutTrayAreNotifications_data();
    void balloonsWithoutTrayAreNotifications();
    void tooltipIsCutButKeptWhole_data();
    void tooltipIsCutButKeptWhole();
    void formAnswersClicksAndMenu_data();
    void formAnswersClicksAndMenu();
    void iconLivesWithTheFormThatRegisteredIt();
    void fallbackRunsOnceOnlyWithoutTray_data();
    void fallbackRunsOnceOnlyWithoutTray();
};

void TestTray::noticeBoxKeepsApplicationRunning() {
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    // The application learns that its last window closed only inside its main loop, so run one.
    QTimer::singleShot(0, [] {
        QTimer::singleShot(0, [] { // runs inside the box's own event loop
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            box->accept();
            QCOMPARE(box->windowTitle() + '|' + box->text(), "Notice|Balloon tip was clicked");
            QCOMPARE(box->icon(), QMessageBox::Information);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        });
        ShowNoticeBox("Notice", "Balloon tip was clicked");
        QTimer::singleShot(0, &QCoreApplication::quit);
    });
    QCoreApplication::exec();
    QCOMPARE(lastWindowClosed.count(), 0);
}

void TestTray::desktopInputRaisesEvents() {
    DesktopLog log;
    clsSysTray tray(std::make_unique<FakeTrayIconBackend>(log));
    QStringList raised;
    for (const auto &[signal, name] : {std::pair{&clsSysTray::LeftClick, "LeftClick"},
                                       {&clsSysTray::RightClick, "RightClick"},
                                       {&clsSysTray::DoubleClick, "DoubleClick"},
                                       {&clsSysTray::BalloonHide, "BalloonHide"},
                                       {&clsSysTray::BalloonTimeOut, "BalloonTimeOut"},
                                       {&clsSysTray::BalloonClicked, "BalloonClicked"}})
        connect(&tray, signal, this, [&raised, name = name] { raised << name; });
    // Besides the balloon's own codes: presses, moves, the balloon showing and unknown codes.
    for (qint32 code : {0x205, 0x202, 0x203, 0, 0x200, 0x201, 0x204, 0x206, 0x402, 0x403, 0x404,
                        0x405, 0x406, 0x10202})
        log.click(code);
    QCOMPARE(raised, (List{"RightClick", "LeftClick", "DoubleClick", "BalloonHide",
                           "BalloonTimeOut", "BalloonClicked"}));
}

void TestTray::qtReportsBecomeShellCodes_data() {
    QTest::addColumn<QList<QtReport>>("reports");
    QTest::addColumn<QList<qint32>>("codes");
    using R = QtReport;
    QTest::newRow("presses of the icon")
        << QList{R::Context, R::Trigger, R::DoubleClick, R::Trigger, R::MiddleClick, R::NextTurn}
        << QList<qint32>{0x205, 0x202, 0x203, 0x202};
    QTest::newRow("click on the balloon")
        << QList{R::BalloonClicked, R::NextTurn} << QList<qint32>{0x405};
    QTest::newRow("right press on the icon under a balloon: the press alone")
        << QList{R::BalloonClicked, R::Context, R::NextTurn} << QList<qint32>{0x205};
    QTest::newRow("left press on the icon under a balloon: the press alone")
        << QList{R::BalloonClicked, R::Trigger, R::NextTurn} << QList<qint32>{0x202};
    QTest::newRow("middle press on the icon under a balloon: nothing")
        << QList{R::BalloonClicked, R::MiddleClick, R::NextTurn} << QList<qint32>{};
    QTest::newRow("balloon click, later a press: both")
        << QList{R::BalloonClicked, R::NextTurn, R::Context, R::NextTurn}
        << QList<qint32>{0x405, 0x205};
}

void TestTray::qtReportsBecomeShellCodes() {
    QFETCH(QList<QtReport>, reports);
    QFETCH(QList<qint32>, codes);
    QSystemTrayIcon icon;
    QList<qint32> delivered;
    QtTrayIconClicks clicks(icon, [&delivered](qint32 code) { delivered << code; });
    for (QtReport report : reports) {
        if (report == QtReport::BalloonClicked)
            emit icon.messageClicked();
        else if (report == QtReport::NextTurn)
            QCoreApplication::processEvents();
        else
            emit icon.activated(QSystemTrayIcon::ActivationReason(report));
    }
    QCOMPARE(delivered, codes);
}

void TestTray::balloonsWithoutTrayAreNotifications_data() {
    QTest::addColumn<bool>("trayPresent"); // for the first balloon; the second has none
    QTest::addColumn<QStringList>("notified");
    const QString ended = "Brenno|0|brenno|Solmara Chat|Chat terminata.|||30000";
    const QString noChat = "Brenno|0|brenno|Solmara Chat|Nessuna chat attiva.|||30000";
    QTest::newRow("no tray: every balloon a notification") << false << List{ended, noChat};
    QTest::newRow("tray: Qt's own balloon") << true << List{noChat};
}

void TestTray::balloonsWithoutTrayAreNotifications() {
    QFETCH(bool, trayPresent);
    QFETCH(QStringList, notified);
    PrivateSessionBus bus;
    QVERIFY(bus.isRunning());
    QDBusConnection desktop = bus.connect("desktop");
    FakeNotifications notifications;
    QVERIFY(desktop.registerService("org.freedesktop.Notifications"));
    QVERIFY(desktop.registerObject("/org/freedesktop/Notifications", &notifications,
                                   QDBusConnection::ExportAllSlots));
    QWidget chat;
    AppState::instance().chatWindow = &chat;
    AppState::instance().IdTicket = 0;
    frmSysTray form(
        std::make_unique<QtTrayIconBackend>([&trayPresent] { return trayPresent; },
                                            DesktopNotifications(bus.connect("client"))),
        std::make_unique<NoTrayFallback>([] { return true; }, std::chrono::seconds(15)),
        [](const QString &, const QString &) {});

    form.ShowMessageTray("Chat terminata.");
    trayPresent = false;
    // Both leave on one connection in order, so a notification for the first comes first.
    for (QAction *item : form.mnuSysTray()->actions())
        if (item->text() == "Visualizza chat")
            item->trigger();
    QVERIFY(QTest::qWaitFor([&] { return notifications.calls.size() >= notified.size(); },
                            kBusPatienceMs));
    QCOMPARE(notifications.calls, notified);
}

void TestTray::tooltipIsCutButKeptWhole_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString a126(126, 'a');
    const QString smile = QString::fromUcs4(U"\U0001F600");
    QTest::newRow("128 characters lose the last") << a126 + "bc" << a126 + 'b';
    QTest::newRow("astral character at the edge kept whole") << a126 + smile + 'b' << a126 + smile;
    QTest::newRow("astral character past the edge dropped") << a126 + 'b' + smile << a126 + 'b';
}

void TestTray::tooltipIsCutButKeptWhole() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    DesktopLog log;
    clsSysTray tray(std::make_unique<FakeTrayIconBackend>(log));
    tray.setTooltipText(text);
    QCOMPARE(log.calls, List{"tip " + shown});
}

void TestTray::formAnswersClicksAndMenu_data() {
    QTest::addColumn<qint32>("ticket");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("effects");
    const QString noChat = "balloon Solmara Chat|Nessuna chat attiva.|1|30000";
    const QString show = "Visualizza chat";
    QTest::newRow("right click opens the menu") << 1 << List{"0x205"} << List{"menu", "hidden"};
    QTest::newRow("double click says so in a balloon")
        << 1 << List{"0x202", "0x203", "0x202"}
        << List{"balloon Balloon wTip|Double click tray icon|1|30000", "hidden"};
    QTest::newRow("balloon click shows a notice")
        << 1 << List{"0x405"} << List{"notice Notice|Balloon tip was clicked", "hidden"};
    QTest::newRow("show with ticket shows the chat") << 1 << List{show} << List{"shown"};
    QTest::newRow("show without ticket says so") << 0 << List{show} << List{noChat, "hidden"};
    QTest::newRow("negative ticket is no ticket") << -3 << List{show} << List{noChat, "hidden"};
    QTest::newRow("hide hides the shown chat") << 1 << List{show, "Nascondi"} << List{"hidden"};
    QTest::newRow("no chat window: hiding is quiet")
        << 1 << List{"gone", "Nascondi"} << List{"gone"};
}

void TestTray::formAnswersClicksAndMenu() {
    QFETCH(qint32, ticket);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, effects);
    Tray tray;
    tray.log.calls.clear();
    AppState &state = AppState::instance();
    state.IdTicket = ticket;
    QMenu *menu = tray.form->mnuSysTray();
    for (const QString &step : steps) {
        if (step == "gone")
            state.chatWindow = nullptr;
        else if (step.startsWith("0x"))
            tray.log.click(step.toInt(nullptr, 16));
        else
            for (QAction *item : menu->actions())
                if (item->text() == step)
                    item->trigger();
    }
    if (menu->isVisible())
        tray.log.calls << "menu";
    tray.log.calls << (!state.chatWindow ? "gone" : tray.chat.isVisible() ? "shown" : "hidden");
    QCOMPARE(tray.log.calls, effects);
}

void TestTray::iconLivesWithTheFormThatRegisteredIt() {
    std::optional<Tray> older(std::in_place);
    Tray current;
    // An icon added without a picture never shows, so the picture has to come first.
    const QIcon icon = current.form->windowIcon();
    QCOMPARE(current.log.calls,
             (List{"icon " + QString::number(icon.cacheKey()), "tip Solmara Chat", "show"}));
    const QImage product =
        QImage(":/tray/brenno.png").convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QVERIFY(!product.isNull());
    QCOMPARE(icon.pixmap(product.size()).toImage(), product);
    older.reset();
    QCOMPARE(AppState::instance().trayForm, static_cast<TrayNotifier *>(current.form.get()));
    current.form.reset();
    QCOMPARE(current.log.calls.last(), "remove");
    QCOMPARE(AppState::instance().trayForm, nullptr);
}

void TestTray::fallbackRunsOnceOnlyWithoutTray_data() {
    QTest::addColumn<bool>("trayPresent");
    QTest::addColumn<bool>("trayAtDeadline");
    QTest::addColumn<int>("fallbacks");
    QTest::newRow("tray at start, gone later: none") << true << false << 0;
    QTest::newRow("tray came during the grace: none") << false << true << 0;
    QTest::newRow("no tray by the deadline: once") << false << false << 1;
}

void TestTray::fallbackRunsOnceOnlyWithoutTray() {
    QFETCH(bool, trayPresent);
    QFETCH(bool, trayAtDeadline);
    QFETCH(int, fallbacks);
    int ran = 0;
    NoTrayFallback watch([&trayPresent] { return trayPresent; }, std::chrono::seconds(15));
    watch.setFallback([&ran] { ++ran; });
    trayPresent = trayAtDeadline;
    watch.graceElapsed();
    watch.graceElapsed();
    QCOMPARE(ran, fallbacks);
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
