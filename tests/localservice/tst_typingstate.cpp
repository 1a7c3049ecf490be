#include "TypingState.h"

#include <QTest>

// The console shows "sta scrivendo..." only while the client's last report is fresh.
class TestTypingState : public QObject {
    Q_OBJECT

private slots:
    void isTypingAt_data();
    void isTypingAt();
};

void TestTypingState::isTypingAt_data() {
    QTest::addColumn<bool>("typing");
    QTest::addColumn<qint64>("reportedAgoMs");
    QTest::addColumn<bool>("expected");

    QTest::newRow("typing, reported now") << true << qint64(0) << true;
    QTest::newRow("typing, reported 5 s ago") << true << qint64(5000) << true;
    QTest::newRow("typing, reported 5.001 s ago -> stale") << true << qint64(5001) << false;
    QTest::newRow("typing, client silent for a minute") << true << qint64(60000) << false;
    QTest::newRow("not typing, reported now") << false << qint64(0) << false;
    QTest::newRow("typing, report from a clock ahead") << true << qint64(-3000) << true;
}

void TestTypingState::isTypingAt() {
    QFETCH(bool, typing);
    QFETCH(qint64, reportedAgoMs);
    QFETCH(bool, expected);

    constexpr qint64 kNow = 1765000000000;
    const TypingState state{typing, kNow - reportedAgoMs};
    QCOMPARE(state.isTypingAt(kNow), expected);
}

QTEST_GUILESS_MAIN(TestTypingState)
#include "tst_typingstate.moc"
