#include "chat/WindowPlacement.h"

#include <QTest>

class TestWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void bottomRight_data();
    void bottomRight();
};

void TestWindowPlacement::bottomRight_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("topLeft");
    // 200 twips are 13.3 pixels, 600 twips 40.
    QTest::newRow("1280x1024, chat window")
        << QRect(0, 0, 1280, 1024) << QSize(425, 571) << QPoint(1280 - 425 - 13, 1024 - 571 - 40);
    QTest::newRow("full HD") << QRect(0, 0, 1920, 1080) << QSize(425, 571) << QPoint(1482, 469);
    QTest::newRow("screen not at the origin")
        << QRect(1920, 0, 1280, 1024) << QSize(425, 571) << QPoint(1920 + 842, 413);
    QTest::newRow("screen smaller than the window")
        << QRect(0, 0, 400, 500) << QSize(425, 571) << QPoint(-38, -111);
}

void TestWindowPlacement::bottomRight() {
    QFETCH(QRect, screen);
    QFETCH(QSize, window);
    QFETCH(QPoint, topLeft);
    QCOMPARE(WindowPlacement::bottomRight(screen, window), topLeft);
}

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
