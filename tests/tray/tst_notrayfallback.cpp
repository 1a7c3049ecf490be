#include "tray/NoTrayFallback.h"

#include <QTest>

using namespace std::chrono_literals;

class TestNoTrayFallback : public QObject {
    Q_OBJECT
private slots:
    void fallbackOnlyWithoutTray_data();
    void fallbackOnlyWithoutTray();
    void fallbackRunsOnce();
};

void TestNoTrayFallback::fallbackOnlyWithoutTray_data() {
    QTest::addColumn<bool>("trayAtStart");
    QTest::addColumn<bool>("trayAtDeadline");
    QTest::addColumn<bool>("waits");
    QTest::addColumn<int>("fallbacks");
    QTest::newRow("tray at start: no wait, no fallback") << true << true << false << 0;
    QTest::newRow("tray at start gone later: still none") << true << false << false << 0;
    QTest::newRow("tray came during the grace: no fallback") << false << true << true << 0;
    QTest::newRow("no tray by the deadline: fallback") << false << false << true << 1;
}

void TestNoTrayFallback::fallbackOnlyWithoutTray() {
    QFETCH(bool, trayAtStart);
    QFETCH(bool, trayAtDeadline);
    QFETCH(bool, waits);
    QFETCH(int, fallbacks);
    bool trayNow = trayAtStart;
    int ran = 0;
    NoTrayFallback watch([&trayNow] { return trayNow; }, 15s);
    watch.setFallback([&ran] { ++ran; });
    QCOMPARE(watch.isWaiting(), waits);

    trayNow = trayAtDeadline;
    watch.graceElapsed();

    QCOMPARE(ran, fallbacks);
    QVERIFY(!watch.isWaiting());
}

void TestNoTrayFallback::fallbackRunsOnce() {
    int ran = 0;
    NoTrayFallback watch([] { return false; }, 15s);
    watch.setFallback([&ran] { ++ran; });
    watch.graceElapsed();
    watch.graceElapsed();
    QCOMPARE(ran, 1);
}

QTEST_GUILESS_MAIN(TestNoTrayFallback)
#include "tst_notrayfallback.moc"
