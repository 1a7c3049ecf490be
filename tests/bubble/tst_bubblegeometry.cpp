#include "bubble/BubbleGeometry.h"
#include "bubble/TextHelpers.h"

#include <QTest>

using namespace BubbleGeometry;

class TestBubbleGeometry : public QObject {
    Q_OBJECT
private slots:
    void textLayout_data();
    void textLayout();
    void wideTextWrapsAtTheTableCount();
    void pictureLayout_data();
    void pictureLayout();
};

void TestBubbleGeometry::textLayout_data() {
    QTest::addColumn<int>("naturalWidth");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<int>("shapeWidth");
    QTest::addColumn<int>("shapeHeight");
    QTest::addColumn<int>("controlHeight");
    QTest::newRow("empty text is one line") << 0 << "" << 0 << 245 << 210 << 360 << 410;
    QTest::newRow("short line") << 600 << "Buongiorno" << 600 << 245 << 810 << 360 << 410;
    QTest::newRow("three hard lines")
        << 900 << "uno\r\ndue\r\ntre" << 900 << 735 << 1110 << 850 << 900;
    QTest::newRow("exactly 4000 does not wrap")
        << 4000 << QString(200, QLatin1Char('W')) << 4000 << 245 << 4210 << 360 << 410;
    QTest::newRow("4000 with two hard lines")
        << 4000 << "a\r\nb" << 4000 << 490 << 4210 << 605 << 655;
    // 45 W count two wraps at 4000: three lines.
    QTest::newRow("wider than 4000 wraps by the table")
        << 9000 << QString(45, QLatin1Char('W')) << 4000 << 735 << 4210 << 850 << 900;
    // 200 lines are more than 16 bits of twips can hold; they all get their height.
    QTest::newRow("many lines beyond 16 bits")
        << 100 << QString(QStringLiteral("x\r\n")).repeated(199) + QLatin1Char('x') << 100 << 49000
        << 310 << 49115 << 49165;
}

void TestBubbleGeometry::textLayout() {
    QFETCH(int, naturalWidth);
    QFETCH(QString, text);
    const TextLayout layout = layoutText(naturalWidth, text);
    QTEST(layout.textWidth, "textWidth");
    QTEST(layout.textHeight, "textHeight");
    QTEST(layout.shapeWidth, "shapeWidth");
    QTEST(layout.shapeHeight, "shapeHeight");
    QTEST(layout.controlHeight, "controlHeight");
}

void TestBubbleGeometry::wideTextWrapsAtTheTableCount() {
    const QString text = QString(300, QLatin1Char('m')) + QStringLiteral("\r\nfine");
    const TextLayout layout = layoutText(9000, text);
    QCOMPARE(layout.textHeight, (CountWrappedLines(4000, text) + 1) * 245);
    QVERIFY(layout.textHeight > 2 * 245);
}

void TestBubbleGeometry::pictureLayout_data() {
    QTest::addColumn<qint64>("naturalWidth");
    QTest::addColumn<qint64>("naturalHeight");
    QTest::addColumn<int>("currentHeight");
    QTest::addColumn<int>("thumbnailHeight");
    QTest::addColumn<int>("shapeHeight");
    QTest::addColumn<int>("controlHeight");
    QTest::newRow("644x322 px reduced")
        << qint64(9660) << qint64(4830) << 540 << 2415 << 2530 << 2535;
    QTest::newRow("100x100 px enlarged")
        << qint64(1500) << qint64(1500) << 540 << 4830 << 4945 << 4950;
    QTest::newRow("tall picture keeps proportions")
        << qint64(1500) << qint64(6000) << 540 << 19320 << 19435 << 19440;
    QTest::newRow("zero width keeps the height")
        << qint64(0) << qint64(1500) << 540 << 540 << 655 << 660;
    QTest::newRow("height past the 32-bit product keeps the height")
        << qint64(15000) << qint64(444614) << 2415 << 2415 << 2530 << 2535;
    QTest::newRow("height at the 32-bit limit scales")
        << qint64(444613) << qint64(444613) << 540 << 4830 << 4945 << 4950;
}

void TestBubbleGeometry::pictureLayout() {
    QFETCH(qint64, naturalWidth);
    QFETCH(qint64, naturalHeight);
    QFETCH(int, currentHeight);
    const PictureLayout layout = layoutPicture(naturalWidth, naturalHeight, currentHeight);
    QCOMPARE(layout.thumbnailWidth, 4830);
    QCOMPARE(layout.shapeWidth, 5040);
    QTEST(layout.thumbnailHeight, "thumbnailHeight");
    QTEST(layout.shapeHeight, "shapeHeight");
    QTEST(layout.controlHeight, "controlHeight");
}

QTEST_APPLESS_MAIN(TestBubbleGeometry)
#include "tst_bubblegeometry.moc"
