#include "FakeTrayIconBackend.h"

#include "app/AppState.h"
#include "tray/frmSysTray.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {

using Notice = QPair<QString, QString>;

// A tray form on a recording desktop, with the box presenter recorded too.
struct TrayFixture {
    explicit TrayFixture(bool trayAvailable = true) {
        auto fallback =
            std::make_unique<NoTrayFallback>([trayAvailable] { return trayAvailable; }, 15s);
        noTray = fallback.get();
        form = std::make_unique<frmSysTray>(std::make_unique<FakeTrayIconBackend>(log),
                                            std::move(fallback),
                                            [this](const QString &title, const QString &text) {
                                                notices.append({title, text});
                                            });
    }

    std::shared_ptr<TrayIconLog> log = std::make_shared<TrayIconLog>();
    QList<Notice> notices;
    NoTrayFallback *noTray = nullptr;
    std::unique_ptr<frmSysTray> form;
};

QAction *menuItem(QMenu *menu, const QString &caption) {
    const QList<QAction *> items = menu->actions();
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](QAction *item) { return item->text() == caption; });
    return found == items.end() ? nullptr : *found;
}

} // namespace

class TestFrmSysTray : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loadRegistersHiddenFormAndShowsProductIcon();
    void menuOffersTwoCommandsAroundSeparator();
    void onlyRightClickOpensMenu_data();
    void onlyRightClickOpensMenu();
    void menuCommands_data();
    void menuCommands();
    void showChatWithoutChatWindowIsQuiet();
    void balloonClickShowsNotice();
    void showMessageTrayBalloon_data();
    void showMessageTrayBalloon();
    void unloadRemovesIconAndRegistration();
    void noTrayFallbackRunsActionGivenToForm();

private:
    QWidget m_chat;
};

void TestFrmSysTray::init() {
    AppState &state = AppState::instance();
    state.IdTicket = 0;
    state.trayForm = nullptr;
    m_chat.hide();
    m_chat.setGeometry(700, 400, 320, 480);
    state.chatWindow = &m_chat;
}

void TestFrmSysTray::cleanup() {
    AppState::instance().chatWindow = nullptr;
}

void TestFrmSysTray::loadRegistersHiddenFormAndShowsProductIcon() {
    TrayFixture tray;
    QCOMPARE(AppState::instance().trayForm, static_cast<TrayNotifier *>(tray.form.get()));
    QVERIFY(!tray.form->isVisible());
    QCOMPARE(tray.log->calls.last(), QStringLiteral("show"));
    QCOMPARE(tray.log->toolTip, QStringLiteral("Solmara Chat"));
    const QImage shown =
        tray.log->icon.pixmap(64).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage product = QImage(QStringLiteral(":/tray/brenno.png"))
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QVERIFY(!product.isNull());
    QCOMPARE(shown, product);
}

void TestFrmSysTray::menuOffersTwoCommandsAroundSeparator() {
    TrayFixture tray;
    const QList<QAction *> items = tray.form->mnuSysTray()->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items.at(0)->text(), QStringLiteral("Visualizza chat"));
    QVERIFY(items.at(1)->isSeparator());
    QCOMPARE(items.at(2)->text(), QStringLiteral("Nascondi"));
    QVERIFY(!items.at(0)->isCheckable() && !items.at(2)->isCheckable());
}

void TestFrmSysTray::onlyRightClickOpensMenu_data() {
    QTest::addColumn<QList<qint32>>("codes");
    QTest::addColumn<bool>("menuOpens");
    QTest::addColumn<QStringList>("balloons");
    QTest::newRow("right click opens the menu")
        << QList<qint32>{0x204, 0x205} << true << QStringList();
    QTest::newRow("left click does nothing")
        << QList<qint32>{0x201, 0x202} << false << QStringList();
    QTest::newRow("double click says so in a balloon")
        << QList<qint32>{0x202, 0x203, 0x202} << false
        << QStringList{"Balloon wTip|Double click tray icon|1|30000"};
    QTest::newRow("balloon hidden or timed out does nothing")
        << QList<qint32>{0x403, 0x404} << false << QStringList();
}

void TestFrmSysTray::onlyRightClickOpensMenu() {
    QFETCH(QList<qint32>, codes);
    QFETCH(bool, menuOpens);
    QFETCH(QStringList, balloons);
    TrayFixture tray;
    for (qint32 code : codes)
        tray.log->click(code);

    QCOMPARE(tray.form->mnuSysTray()->isVisible(), menuOpens);
    tray.form->mnuSysTray()->hide();
    QCOMPARE(tray.log->balloons, balloons);
    QVERIFY(!m_chat.isVisible());
    QVERIFY(tray.notices.isEmpty());
}

void TestFrmSysTray::menuCommands_data() {
    QTest::addColumn<qint32>("ticket");
    QTest::addColumn<bool>("chatVisible");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("chatVisibleAfter");
    QTest::addColumn<QStringList>("balloons");
    QTest::newRow("show without ticket: no chat balloon, window stays hidden")
        << 0 << false << "Visualizza chat" << false
        << QStringList{"Solmara Chat|Nessuna chat attiva.|1|30000"};
    QTest::newRow("show with negative ticket counts as no chat")
        << -3 << false << "Visualizza chat" << false
        << QStringList{"Solmara Chat|Nessuna chat attiva.|1|30000"};
    QTest::newRow("show without ticket leaves a shown window alone")
        << 0 << true << "Visualizza chat" << true
        << QStringList{"Solmara Chat|Nessuna chat attiva.|1|30000"};
    QTest::newRow("show with ticket shows the window")
        << 42 << false << "Visualizza chat" << true << QStringList();
    QTest::newRow("show again while shown changes nothing")
        << 42 << true << "Visualizza chat" << true << QStringList();
    QTest::newRow("hide hides the shown window")
        << 42 << true << "Nascondi" << false << QStringList();
    QTest::newRow("hide while hidden changes nothing")
        << 42 << false << "Nascondi" << false << QStringList();
    QTest::newRow("hide works without ticket too")
        << 0 << true << "Nascondi" << false << QStringList();
}

void TestFrmSysTray::menuCommands() {
    QFETCH(qint32, ticket);
    QFETCH(bool, chatVisible);
    QFETCH(QString, caption);
    QFETCH(bool, chatVisibleAfter);
    QFETCH(QStringList, balloons);
    TrayFixture tray;
    AppState::instance().IdTicket = ticket;
    m_chat.setVisible(chatVisible);
    const QRect placed = m_chat.geometry();

    QAction *item = menuItem(tray.form->mnuSysTray(), caption);
    QVERIFY(item);
    item->trigger();

    QCOMPARE(m_chat.isVisible(), chatVisibleAfter);
    QCOMPARE(m_chat.geometry(), placed);
    QCOMPARE(tray.log->balloons, balloons);
}

void TestFrmSysTray::showChatWithoutChatWindowIsQuiet() {
    TrayFixture tray;
    AppState::instance().IdTicket = 42;
    AppState::instance().chatWindow = nullptr;
    for (const QString caption : {"Visualizza chat", "Nascondi"})
        menuItem(tray.form->mnuSysTray(), caption)->trigger();
    QVERIFY(tray.log->balloons.isEmpty());
    QVERIFY(!m_chat.isVisible());
}

void TestFrmSysTray::balloonClickShowsNotice() {
    TrayFixture tray;
    tray.log->click(0x405);
    QCOMPARE(tray.notices, (QList<Notice>{{"Notice", "Balloon tip was clicked"}}));
    QVERIFY(tray.log->balloons.isEmpty());
    QVERIFY(!m_chat.isVisible());
}

void TestFrmSysTray::showMessageTrayBalloon_data() {
    QTest::addColumn<bool>("chatVisible");
    QTest::addColumn<QString>("message");
    QTest::newRow("chat ended while the window is shown") << true << "Chat terminata.";
    QTest::newRow("chat ended while the window is hidden") << false << "Chat terminata.";
    QTest::newRow("accents pass unchanged") << false << "Perché è così";
}

void TestFrmSysTray::showMessageTrayBalloon() {
    QFETCH(bool, chatVisible);
    QFETCH(QString, message);
    TrayFixture tray;
    m_chat.setVisible(chatVisible);

    AppState::instance().trayForm->ShowMessageTray(message);

    QCOMPARE(tray.log->balloons, QStringList{"Solmara Chat|" + message + "|1|30000"});
    QCOMPARE(m_chat.isVisible(), chatVisible);
}

void TestFrmSysTray::unloadRemovesIconAndRegistration() {
    TrayFixture tray;
    tray.form.reset();
    QCOMPARE(tray.log->calls.last(), QStringLiteral("remove"));
    QCOMPARE(AppState::instance().trayForm, nullptr);
}

void TestFrmSysTray::noTrayFallbackRunsActionGivenToForm() {
    TrayFixture tray(false);
    int shown = 0;
    tray.form->setNoTrayFallback([&shown] { ++shown; });
    QVERIFY(tray.noTray->isWaiting());
    tray.noTray->graceElapsed();
    QCOMPARE(shown, 1);
}

QTEST_MAIN(TestFrmSysTray)
#include "tst_frmsystray.moc"
