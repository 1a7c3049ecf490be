#include "PrivateSessionBus.h"

#include "core/AppState.h"
#include "tray/QtTrayIconBackend.h"
#include "tray/frmSysTray.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Bounds waits for the private bus on a loaded machine so that a fault ends the test; it
// measures nothing.
constexpr int kBusPatienceMs = 30000;

using Balloon = std::tuple<QString, QString, QSystemTrayIcon::MessageIcon, int>;
using Notice = std::pair<QString, QString>;
// Application, replaced id, icon, summary, body, actions, hints, timeout.
using Notification =
    std::tuple<QString, uint, QString, QString, QString, QStringList, QVariantMap, int>;

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

enum class ChatWindow { Hidden, Shown, Gone };

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

// What the tray asked of the desktop; outlives the backend so that removal shows.
struct Desktop {
    std::function<void(TrayClick)> click;
    qint64 iconKey = 0;
    QString toolTip;
    QList<Balloon> balloons;
    QList<Notice> notices;
    std::pair<qint64, QString> shownWith; // icon and tooltip when the icon was added
    bool removed = false;
};

struct FakeTrayIconBackend : TrayIconBackend {
    explicit FakeTrayIconBackend(Desktop &d)
        : desktop(d) {}
    void setClickHandler(std::function<void(TrayClick)> handler) override {
        desktop.click = std::move(handler);
    }
    bool trayAvailable() const override { return true; }
    void setIcon(const QIcon &icon) override { desktop.iconKey = icon.cacheKey(); }
    void setToolTip(const QString &text) override { desktop.toolTip = text; }
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override {
        desktop.balloons << Balloon{title, message, icon, timeoutMs};
    }
    void showNotice(const QString &title, const QString &text) override {
        desktop.notices << Notice{title, text};
    }
    void show() override { desktop.shownWith = {desktop.iconKey, desktop.toolTip}; }
    void remove() override { desktop.removed = true; }
    Desktop &desktop;
};

// A tray form on a recording desktop with a tray, and its chat window.
struct Tray {
    Tray() {
        AppState::instance().chatWindow = &chat;
        form = std::make_unique<frmSysTray>(std::make_unique<FakeTrayIconBackend>(desktop));
        form->setShowChat([this] { chat.show(); });
    }
    QWidget chat;
    Desktop desktop;
    std::unique_ptr<frmSysTray> form;
};

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void noticeBoxKeepsApplicationRunning() {
        QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
        QtTrayIconBackend backend([] { return true; }, QDBusConnection(QStringLiteral("none")));
        // The application learns that its last window closed only inside its main loop, so run one.
        QTimer::singleShot(0, [&backend] {
            QTimer::singleShot(0, [] { // runs inside the box's own event loop
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                box->accept();
                QCOMPARE(box->windowTitle(), "Notice");
                QCOMPARE(box->text(), "Balloon tip was clicked");
                QCOMPARE(box->icon(), QMessageBox::Information);
                QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            });
            backend.showNotice("Notice", "Balloon tip was clicked");
            QTimer::singleShot(0, &QCoreApplication::quit);
        });
        QCoreApplication::exec();
        QCOMPARE(lastWindowClosed.count(), 0);
    }

    void qtReportsBecomeClicks_data() {
        QTest::addColumn<QList<QtReport>>("reports");
        QTest::addColumn<QList<TrayClick>>("clicks");
        using R = QtReport;
        using C = TrayClick;
        QTest::newRow("presses of the icon")
            << QList{R::Context, R::Trigger,     R::DoubleClick,
                     R::Trigger, R::MiddleClick, R::NextTurn}
            << QList{C::RightClick, C::LeftClick, C::DoubleClick, C::LeftClick};
        QTest::newRow("click on the balloon")
            << QList{R::BalloonClicked, R::NextTurn} << QList{C::BalloonClicked};
        // Qt's X11 tray reports a press on the icon under its balloon as a balloon click first.
        QTest::newRow("right press under a balloon: the press alone")
            << QList{R::BalloonClicked, R::Context, R::NextTurn} << QList{C::RightClick};
        QTest::newRow("middle press under a balloon: nothing")
            << QList{R::BalloonClicked, R::MiddleClick, R::NextTurn} << QList<TrayClick>{};
        QTest::newRow("balloon click, later a press: both")
            << QList{R::BalloonClicked, R::NextTurn, R::Context, R::NextTurn}
            << QList{C::BalloonClicked, C::RightClick};
    }

    void qtReportsBecomeClicks() {
        QFETCH(QList<QtReport>, reports);
        QFETCH(QList<TrayClick>, clicks);
        QtTrayIconBackend backend([] { return true; }, QDBusConnection(QStringLiteral("none")));
        QList<TrayClick> delivered;
        backend.setClickHandler([&delivered](TrayClick click) { delivered << click; });
        auto *icon = backend.findChild<QSystemTrayIcon *>();
        QVERIFY(icon);
        for (QtReport report : reports) {
            if (report == QtReport::BalloonClicked)
                emit icon->messageClicked();
            else if (report == QtReport::NextTurn)
                QCoreApplication::processEvents();
            else
                emit icon->activated(QSystemTrayIcon::ActivationReason(report));
        }
        QCOMPARE(delivered, clicks);
    }

    void balloonsWithoutTrayAreNotifications() {
        PrivateSessionBus bus;
        QVERIFY(bus.isRunning());
        QDBusConnection desktop = bus.connect("desktop");
        FakeNotifications notifications;
        QVERIFY(desktop.registerService("org.freedesktop.Notifications"));
        QVERIFY(desktop.registerObject("/org/freedesktop/Notifications", &notifications,
                                       QDBusConnection::ExportAllSlots));
        bool trayPresent = true;
        QtTrayIconBackend backend([&trayPresent] { return trayPresent; }, bus.connect("client"));
        backend.showMessage("Solmara Chat", "Chat terminata.", QSystemTrayIcon::Information, 30000);
        trayPresent = false;
        // Both would leave on one connection in order, so a notification for the first comes first.
        backend.showMessage("Balloon wTip", "Double click tray icon", QSystemTrayIcon::Warning,
                            5000);
        QVERIFY(QTest::qWaitFor([&] { return !notifications.calls.isEmpty(); }, kBusPatienceMs));
        QCOMPARE(
            notifications.calls,
            (QList<Notification>{
                {"Brenno", 0, "brenno", "Balloon wTip", "Double click tray icon", {}, {}, 5000}}));
    }

    void tooltipIsCutButKeptWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString a126(126, 'a');
        const QString smile = QString::fromUcs4(U"\U0001F600");
        QTest::newRow("128 characters lose the last") << a126 + "bc" << a126 + 'b';
        QTest::newRow("astral character at the edge kept whole")
            << a126 + smile + 'b' << a126 + smile;
        QTest::newRow("astral character past the edge dropped") << a126 + 'b' + smile << a126 + 'b';
    }

    void tooltipIsCutButKeptWhole() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Desktop desktop;
        clsSysTray tray(std::make_unique<FakeTrayIconBackend>(desktop));
        tray.setTooltipText(text);
        QCOMPARE(desktop.toolTip, shown);
    }

    void formAnswersClicksAndMenu_data() {
        QTest::addColumn<qint32>("ticket");
        QTest::addColumn<bool>("chatWindowGone");
        QTest::addColumn<QList<TrayClick>>("clicks");
        QTest::addColumn<QStringList>("choices"); // menu captions, after the clicks
        QTest::addColumn<bool>("menuOpen");
        QTest::addColumn<QList<Balloon>>("balloons");
        QTest::addColumn<QList<Notice>>("notices");
        QTest::addColumn<ChatWindow>("chat");
        using C = TrayClick;
        const QList<C> noClick;
        const QStringList noChoice;
        const QList<Balloon> none;
        const QList<Notice> noNotice;
        const QList<Balloon> noChat{
            {"Solmara Chat", "Nessuna chat attiva.", QSystemTrayIcon::Information, 30000}};
        const QStringList show{"Visualizza chat"};
        QTest::newRow("right click opens the menu")
            << 1 << false << QList{C::RightClick} << noChoice << true << none << noNotice
            << ChatWindow::Hidden;
        QTest::newRow("double click says so in a balloon")
            << 1 << false << QList{C::LeftClick, C::DoubleClick, C::LeftClick} << noChoice << false
            << QList<Balloon>{{"Balloon wTip", "Double click tray icon",
                               QSystemTrayIcon::Information, 30000}}
            << noNotice << ChatWindow::Hidden;
        QTest::newRow("balloon click shows a notice")
            << 1 << false << QList{C::BalloonClicked} << noChoice << false << none
            << QList<Notice>{{"Notice", "Balloon tip was clicked"}} << ChatWindow::Hidden;
        QTest::newRow("show with ticket shows the chat")
            << 1 << false << noClick << show << false << none << noNotice << ChatWindow::Shown;
        QTest::newRow("show without ticket says so")
            << 0 << false << noClick << show << false << noChat << noNotice << ChatWindow::Hidden;
        QTest::newRow("negative ticket is no ticket")
            << -3 << false << noClick << show << false << noChat << noNotice << ChatWindow::Hidden;
        QTest::newRow("hide hides the shown chat")
            << 1 << false << noClick << QStringList{"Visualizza chat", "Nascondi"} << false << none
            << noNotice << ChatWindow::Hidden;
        QTest::newRow("no chat window: hiding is quiet")
            << 1 << true << noClick << QStringList{"Nascondi"} << false << none << noNotice
            << ChatWindow::Gone;
    }

    void formAnswersClicksAndMenu() {
        QFETCH(qint32, ticket);
        QFETCH(bool, chatWindowGone);
        QFETCH(QList<TrayClick>, clicks);
        QFETCH(QStringList, choices);
        QFETCH(bool, menuOpen);
        QFETCH(QList<Balloon>, balloons);
        QFETCH(QList<Notice>, notices);
        QFETCH(ChatWindow, chat);
        Tray tray;
        AppState &state = AppState::instance();
        state.IdTicket = ticket;
        if (chatWindowGone)
            state.chatWindow = nullptr;
        for (TrayClick click : clicks)
            tray.desktop.click(click);
        QMenu *menu = tray.form->mnuSysTray();
        for (const QString &caption : choices)
            for (QAction *item : menu->actions())
                if (item->text() == caption)
                    item->trigger();
        QCOMPARE(menu->isVisible(), menuOpen);
        QCOMPARE(tray.desktop.balloons, balloons);
        QCOMPARE(tray.desktop.notices, notices);
        QCOMPARE(!state.chatWindow       ? ChatWindow::Gone
                 : tray.chat.isVisible() ? ChatWindow::Shown
                                         : ChatWindow::Hidden,
                 chat);
    }

    void iconLivesWithTheFormThatRegisteredIt() {
        std::optional<Tray> older(std::in_place);
        Tray current;
        // An icon added without a picture never shows, so the picture has to come first.
        const QIcon icon = current.form->windowIcon();
        QCOMPARE(current.desktop.shownWith,
                 (std::pair<qint64, QString>{icon.cacheKey(), "Solmara Chat"}));
        const QImage product =
            QImage(":/tray/brenno.png").convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QVERIFY(!product.isNull());
        QCOMPARE(icon.pixmap(product.size()).toImage(), product);
        older.reset();
        QCOMPARE(AppState::instance().trayForm, static_cast<TrayNotifier *>(current.form.get()));
        current.form.reset();
        QVERIFY(current.desktop.removed);
        QCOMPARE(AppState::instance().trayForm, nullptr);
    }

    void fallbackRunsOnceOnlyWithoutTray_data() {
        QTest::addColumn<bool>("trayPresent");
        QTest::addColumn<bool>("trayAtDeadline");
        QTest::addColumn<int>("fallbacks");
        QTest::newRow("tray at start, gone later: none") << true << false << 0;
        QTest::newRow("tray came during the grace: none") << false << true << 0;
        QTest::newRow("no tray by the deadline: once") << false << false << 1;
    }

    void fallbackRunsOnceOnlyWithoutTray() {
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
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
