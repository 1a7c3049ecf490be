#include "FakeTrayIconBackend.h"

#include "app/AppState.h"
#include "tray/QtTrayIconBackend.h"
#include "tray/clsSysTray.h"

#include <QTest>

namespace {

class NotifierWidget : public QWidget, public TrayNotifier {
public:
    void ShowMessageTray(const QString &) override {}
};

// The component's events by name, in the order they are raised.
struct EventRecorder {
    explicit EventRecorder(clsSysTray &tray) {
        const auto record = [this](const char *name) {
            return [this, name] { events.append(QString::fromLatin1(name)); };
        };
        QObject::connect(&tray, &clsSysTray::LeftClick, record("LeftClick"));
        QObject::connect(&tray, &clsSysTray::RightClick, record("RightClick"));
        QObject::connect(&tray, &clsSysTray::DoubleClick, record("DoubleClick"));
        QObject::connect(&tray, &clsSysTray::BalloonHide, record("BalloonHide"));
        QObject::connect(&tray, &clsSysTray::BalloonTimeOut, record("BalloonTimeOut"));
        QObject::connect(&tray, &clsSysTray::BalloonClicked, record("BalloonClicked"));
    }
    QStringList events;
};

} // namespace

class TestClsSysTray : public QObject {
    Q_OBJECT
private slots:
    void init();
    void shellCodesRaiseEvents_data();
    void shellCodesRaiseEvents();
    void activationReasonsBecomeShellCodes_data();
    void activationReasonsBecomeShellCodes();
    void tooltipIsCutButKeptWhole_data();
    void tooltipIsCutButKeptWhole();
    void balloonCarriesItsFields_data();
    void balloonCarriesItsFields();
    void initShowsHostIconWithTooltip();
    void releaseRemovesIconAndOnlyTheHostsRegistration_data();
    void releaseRemovesIconAndOnlyTheHostsRegistration();
};

void TestClsSysTray::init() {
    AppState::instance().trayForm = nullptr;
}

void TestClsSysTray::shellCodesRaiseEvents_data() {
    QTest::addColumn<QList<qint32>>("codes");
    QTest::addColumn<QStringList>("events");
    const QStringList none;
    QTest::newRow("left button up -> LeftClick")
        << QList<qint32>{0x202} << QStringList{"LeftClick"};
    QTest::newRow("right button up -> RightClick")
        << QList<qint32>{0x205} << QStringList{"RightClick"};
    QTest::newRow("left double click -> DoubleClick")
        << QList<qint32>{0x203} << QStringList{"DoubleClick"};
    QTest::newRow("balloon hidden -> BalloonHide")
        << QList<qint32>{0x403} << QStringList{"BalloonHide"};
    QTest::newRow("balloon timed out -> BalloonTimeOut")
        << QList<qint32>{0x404} << QStringList{"BalloonTimeOut"};
    QTest::newRow("balloon clicked -> BalloonClicked")
        << QList<qint32>{0x405} << QStringList{"BalloonClicked"};
    QTest::newRow("right press then release -> one RightClick")
        << QList<qint32>{0x204, 0x205} << QStringList{"RightClick"};
    QTest::newRow("double click keeps the shell's order")
        << QList<qint32>{0x201, 0x202, 0x203, 0x202}
        << QStringList{"LeftClick", "DoubleClick", "LeftClick"};
    QTest::newRow("pointer move raises nothing") << QList<qint32>{0x200} << none;
    QTest::newRow("left press raises nothing") << QList<qint32>{0x201} << none;
    QTest::newRow("right press raises nothing") << QList<qint32>{0x204} << none;
    QTest::newRow("right double click raises nothing") << QList<qint32>{0x206} << none;
    QTest::newRow("middle button raises nothing") << QList<qint32>{0x207, 0x208} << none;
    QTest::newRow("balloon shown raises nothing") << QList<qint32>{0x402} << none;
    QTest::newRow("next balloon code raises nothing") << QList<qint32>{0x406} << none;
    QTest::newRow("zero and negative raise nothing") << QList<qint32>{0, -0x202} << none;
    QTest::newRow("code in the high word raises nothing") << QList<qint32>{0x10202} << none;
}

void TestClsSysTray::shellCodesRaiseEvents() {
    QFETCH(QList<qint32>, codes);
    QFETCH(QStringList, events);
    auto log = std::make_shared<TrayIconLog>();
    clsSysTray tray(std::make_unique<FakeTrayIconBackend>(log));
    EventRecorder direct(tray);
    for (qint32 code : codes)
        tray.MouseMove(Qt::LeftButton, code, nullptr);
    QCOMPARE(direct.events, events);

    EventRecorder fromDesktop(tray);
    for (qint32 code : codes)
        log->click(code);
    QCOMPARE(fromDesktop.events, events);
}

void TestClsSysTray::activationReasonsBecomeShellCodes_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("raises");
    QTest::addColumn<qint32>("code");
    QTest::newRow("context menu request -> right button up")
        << int(QSystemTrayIcon::Context) << true << 0x205;
    QTest::newRow("trigger -> left button up") << int(QSystemTrayIcon::Trigger) << true << 0x202;
    QTest::newRow("double click -> left double click")
        << int(QSystemTrayIcon::DoubleClick) << true << 0x203;
    QTest::newRow("middle click -> nothing") << int(QSystemTrayIcon::MiddleClick) << false << 0;
    QTest::newRow("unknown -> nothing") << int(QSystemTrayIcon::Unknown) << false << 0;
}

void TestClsSysTray::activationReasonsBecomeShellCodes() {
    QFETCH(int, reason);
    QFETCH(bool, raises);
    QFETCH(qint32, code);
    const auto shellCode =
        QtTrayIconBackend::shellCodeFor(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(shellCode.has_value(), raises);
    if (raises)
        QCOMPARE(*shellCode, code);
}

void TestClsSysTray::tooltipIsCutButKeptWhole_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString chars127(127, QLatin1Char('a'));
    const QString smile = QString::fromUcs4(U"\U0001F600");
    QTest::newRow("product name shown whole") << "Solmara Chat"
                                              << "Solmara Chat";
    QTest::newRow("empty stays empty") << QString() << QString();
    QTest::newRow("127 characters shown whole") << chars127 << chars127;
    QTest::newRow("128 characters lose the last") << chars127 + "Z" << chars127;
    QTest::newRow("long text keeps its first 127")
        << chars127 + QString(300, QLatin1Char('b')) << chars127;
    QTest::newRow("accents count as one character each")
        << QString(130, QChar(0x00E8)) << QString(127, QChar(0x00E8));
    QTest::newRow("astral character at the edge kept whole")
        << QString(126, QLatin1Char('a')) + smile + "b" << QString(126, QLatin1Char('a')) + smile;
    QTest::newRow("astral character past the edge dropped whole") << chars127 + smile << chars127;
}

void TestClsSysTray::tooltipIsCutButKeptWhole() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    auto log = std::make_shared<TrayIconLog>();
    clsSysTray tray(std::make_unique<FakeTrayIconBackend>(log));
    tray.setTooltipText(text);
    QCOMPARE(log->toolTip, shown);
    QCOMPARE(tray.TooltipText(), text);
}

void TestClsSysTray::balloonCarriesItsFields_data() {
    QTest::addColumn<qint32>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("0 no icon") << 0 << int(QSystemTrayIcon::NoIcon);
    QTest::newRow("1 information") << 1 << int(QSystemTrayIcon::Information);
    QTest::newRow("2 warning") << 2 << int(QSystemTrayIcon::Warning);
    QTest::newRow("3 error") << 3 << int(QSystemTrayIcon::Critical);
    QTest::newRow("4 unknown kind shows no icon") << 4 << int(QSystemTrayIcon::NoIcon);
    QTest::newRow("negative kind shows no icon") << -1 << int(QSystemTrayIcon::NoIcon);
}

void TestClsSysTray::balloonCarriesItsFields() {
    QFETCH(qint32, kind);
    QFETCH(int, icon);
    auto log = std::make_shared<TrayIconLog>();
    clsSysTray tray(std::make_unique<FakeTrayIconBackend>(log));
    tray.ShowBalloonTip(QStringLiteral("Chat terminata."), kind, QStringLiteral("Solmara Chat"),
                        30000);
    QCOMPARE(log->balloons,
             QStringList{QStringLiteral("Solmara Chat|Chat terminata.|%1|30000").arg(icon)});
}

void TestClsSysTray::initShowsHostIconWithTooltip() {
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    QWidget host;
    host.setWindowIcon(QIcon(picture));
    auto log = std::make_shared<TrayIconLog>();
    clsSysTray tray(std::make_unique<FakeTrayIconBackend>(log));

    tray.Init(&host, QStringLiteral("Solmara Chat"));

    // An icon added without a picture never shows, so the picture has to come first.
    QCOMPARE(log->calls, (QStringList{"setIcon", "setToolTip", "show"}));
    QCOMPARE(log->icon.pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));
    QCOMPARE(log->toolTip, QStringLiteral("Solmara Chat"));
    QCOMPARE(tray.TooltipText(), QStringLiteral("Solmara Chat"));
}

void TestClsSysTray::releaseRemovesIconAndOnlyTheHostsRegistration_data() {
    QTest::addColumn<QString>("registered");
    QTest::addColumn<bool>("clearedAfterRelease");
    QTest::newRow("host is the tray form -> cleared") << "host" << true;
    QTest::newRow("another tray form -> kept") << "other" << false;
    QTest::newRow("no tray form -> stays empty") << "none" << true;
}

void TestClsSysTray::releaseRemovesIconAndOnlyTheHostsRegistration() {
    QFETCH(QString, registered);
    QFETCH(bool, clearedAfterRelease);
    NotifierWidget host;
    NotifierWidget other;
    AppState &state = AppState::instance();
    state.trayForm = registered == "host" ? &host : registered == "other" ? &other : nullptr;
    auto log = std::make_shared<TrayIconLog>();
    auto tray = std::make_unique<clsSysTray>(std::make_unique<FakeTrayIconBackend>(log));
    tray->Init(&host, QStringLiteral("Solmara Chat"));

    tray.reset();

    QCOMPARE(log->calls.last(), QStringLiteral("remove"));
    QCOMPARE(state.trayForm == nullptr, clearedAfterRelease);
}

QTEST_MAIN(TestClsSysTray)
#include "tst_clssystray.moc"
