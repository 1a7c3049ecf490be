#include "viewer/ImgFrm.h"

#include <QLabel>
#include <QTest>

class TestImgFrm : public QObject {
    Q_OBJECT
private slots:
    void oneWindowWithCaption();
    void showImgSpansTheWidth_data();
    void showImgSpansTheWidth();
    void resizeStretchesToTheWindow();

private:
    static QLabel *image(ImgFrm &viewer) { return viewer.findChild<QLabel *>("Image1"); }
    // The sizes count the window's outer frame, which the platform may add.
    static void setOuterSize(ImgFrm &viewer, QSize outer);
};

void TestImgFrm::setOuterSize(ImgFrm &viewer, QSize outer) {
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.resize(outer - (viewer.frameGeometry().size() - viewer.size()));
    QCOMPARE(viewer.frameGeometry().size(), outer);
}

void TestImgFrm::oneWindowWithCaption() {
    ImgFrm &viewer = ImgFrm::instance();
    QCOMPARE(&ImgFrm::instance(), &viewer);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Immagine"));
    QCOMPARE(viewer.size(), QSize(1039, 786));
    QVERIFY(viewer.isWindow());
}

void TestImgFrm::showImgSpansTheWidth_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QSize>("pixels");
    // 600 px = 9000 twips: a 2:1 picture is 8900 x 4450 twips.
    QTest::newRow("twice as wide as high") << QSize(644, 322) << true << QSize(593, 297);
    QTest::newRow("square") << QSize(50, 50) << true << QSize(593, 593);
    QTest::newRow("no picture shows nothing") << QSize() << false << QSize();
}

void TestImgFrm::showImgSpansTheWidth() {
    QFETCH(QSize, picture);
    QFETCH(bool, shown);
    ImgFrm &viewer = ImgFrm::instance();
    setOuterSize(viewer, QSize(600, 500));
    QImage full;
    if (picture.isValid()) {
        full = QImage(picture, QImage::Format_RGB32);
        full.fill(Qt::red);
    }
    viewer.ShowImg(full);
    QLabel *label = image(viewer);
    QCOMPARE(!label->isHidden(), shown);
    if (shown) {
        QTEST(label->size(), "pixels");
        QCOMPARE(label->pos(), QPoint(0, 0));
        QCOMPARE(label->pixmap().size(), picture);
    }
    viewer.hide();
}

void TestImgFrm::resizeStretchesToTheWindow() {
    ImgFrm &viewer = ImgFrm::instance();
    setOuterSize(viewer, QSize(600, 500));
    QImage full(QSize(644, 322), QImage::Format_RGB32);
    full.fill(Qt::blue);
    viewer.ShowImg(full);
    setOuterSize(viewer, QSize(700, 400));
    QCOMPARE(image(viewer)->geometry(), QRect(0, 0, 700, 380));
    viewer.hide();
}

QTEST_MAIN(TestImgFrm)
#include "tst_imgfrm.moc"
