#include "viewer/ViewerGeometry.h"

#include <QTest>

class TestViewerGeometry : public QObject {
    Q_OBJECT
private slots:
    void shownPicture_data();
    void shownPicture();
    void resized_data();
    void resized();
};

void TestViewerGeometry::shownPicture_data() {
    QTest::addColumn<double>("windowWidth");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("shows");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("twice as wide as high")
        << 9000.0 << QSize(644, 322) << true << QSizeF(8900, 4450);
    QTest::newRow("tall picture overflows the window")
        << 9000.0 << QSize(100, 300) << true << QSizeF(8900, 26700);
    QTest::newRow("design window width") << 15585.0 << QSize(1, 1) << true << QSizeF(15485, 15485);
    QTest::newRow("window narrower than the margin") << 60.0 << QSize(2, 1) << true << QSizeF(0, 0);
    QTest::newRow("zero width shows nothing") << 9000.0 << QSize(0, 50) << false << QSizeF();
    QTest::newRow("no picture shows nothing") << 9000.0 << QSize() << false << QSizeF();
}

void TestViewerGeometry::shownPicture() {
    QFETCH(double, windowWidth);
    QFETCH(QSize, picture);
    QFETCH(bool, shows);
    QFETCH(QSizeF, size);
    const auto shown = ViewerGeometry::shownPictureSize(windowWidth, picture);
    QCOMPARE(shown.has_value(), shows);
    if (shows)
        QCOMPARE(*shown, size);
}

void TestViewerGeometry::resized_data() {
    QTest::addColumn<double>("windowWidth");
    QTest::addColumn<double>("windowHeight");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("design size") << 15585.0 << 11790.0 << QSizeF(15585, 11490);
    QTest::newRow("lower than the strip") << 3000.0 << 200.0 << QSizeF(3000, 0);
}

void TestViewerGeometry::resized() {
    QFETCH(double, windowWidth);
    QFETCH(double, windowHeight);
    QTEST(ViewerGeometry::resizedPictureSize(windowWidth, windowHeight), "size");
}

QTEST_APPLESS_MAIN(TestViewerGeometry)
#include "tst_viewergeometry.moc"
