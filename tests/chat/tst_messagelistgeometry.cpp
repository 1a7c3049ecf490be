#include "chat/MessageListGeometry.h"

#include <QTest>

class TestMessageListGeometry : public QObject {
    Q_OBJECT
private slots:
    void growth_data();
    void growth();
    void scrolling_data();
    void scrolling();
};

void TestMessageListGeometry::growth_data() {
    QTest::addColumn<float>("bottom");
    QTest::addColumn<double>("canvasHeight");
    QTest::addColumn<bool>("scrollBar");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<double>("canvasTop");
    QTest::newRow("short list: viewport height, no bar") << 4.2f << 11.5 << false << 0 << 0.0;
    QTest::newRow("exactly the viewport: no bar") << 11.5f << 11.5 << false << 0 << 0.0;
    QTest::newRow("15.3 cm: bar at 16, canvas up 4.5") << 15.3f << 15.3 << true << 16 << -4.5;
    QTest::newRow("half rounds to even, down") << 12.5f << 12.5 << true << 14 << -2.5;
    QTest::newRow("half rounds to even, up") << 13.5f << 13.5 << true << 14 << -2.5;
    QTest::newRow("long history") << 7000.25f << 7000.25 << true << 7001 << -6989.5;
}

void TestMessageListGeometry::growth() {
    QFETCH(float, bottom);
    QFETCH(double, canvasHeight);
    QFETCH(bool, scrollBar);
    QFETCH(int, maximum);
    QFETCH(double, canvasTop);
    const auto growth = MessageListGeometry::grow(bottom);
    QCOMPARE(float(growth.canvasHeightCm), float(canvasHeight));
    QCOMPARE(growth.scrollBarVisible, scrollBar);
    if (!scrollBar)
        return;
    QCOMPARE(growth.maximum, maximum);
    QCOMPARE(growth.value, maximum);
    QCOMPARE(MessageListGeometry::canvasTopCm(growth.value), canvasTop);
}

void TestMessageListGeometry::scrolling_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("canvasTop");
    QTest::newRow("dragged to 0: canvas below the viewport") << 0 << 11.5;
    QTest::newRow("11: half a centimetre of space above") << 11 << 0.5;
    QTest::newRow("12: first half centimetre hidden") << 12 << -0.5;
    QTest::newRow("negative values count as their size") << -3 << 8.5;
}

void TestMessageListGeometry::scrolling() {
    QFETCH(int, value);
    QFETCH(double, canvasTop);
    QCOMPARE(MessageListGeometry::canvasTopCm(value), canvasTop);
}

QTEST_APPLESS_MAIN(TestMessageListGeometry)
#include "tst_messagelistgeometry.moc"
