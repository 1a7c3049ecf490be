#include "viewer/ImgFrm.h"
#include "viewer/ViewerGeometry.h"

#include <QLabel>
#include <QTest>

// Sizes are in pixels of the window's outer frame, which the platform may add; 600 px are
// 9000 twips, less the 100-twip margin 8900.
class TestViewer : public QObject {
    Q_OBJECT
    ImgFrm &m_viewer = ImgFrm::instance();
    QLabel *m_image = m_viewer.findChild<QLabel *>(QStringLiteral("Image1"));

    void setOuterSize(QSize outer) {
        m_viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_viewer));
        m_viewer.resize(outer - (m_viewer.frameGeometry().size() - m_viewer.size()));
        QCOMPARE(m_viewer.frameGeometry().size(), outer);
    }

private slots:
    void sizesNeverGoNegative() {
        QCOMPARE(ViewerGeometry::shownPictureSize(60, QSize(2, 1)), QSizeF(0, 0));
        QCOMPARE(ViewerGeometry::resizedPictureSize(3000, 200), QSizeF(3000, 0));
    }

    // "Immagine" opens at its design size; a picture spans its width, then after a resize fills
    // the window less a 20 px strip at the bottom. A picture without width is not shown.
    void showImgSpansTheWidthThenFillsTheWindow() {
        QCOMPARE(m_viewer.windowTitle(), QStringLiteral("Immagine"));
        QCOMPARE(m_viewer.size(), QSize(1039, 786));
        setOuterSize(QSize(600, 500));
        const QImage picture(644, 322, QImage::Format_RGB32);
        m_viewer.ShowImg(picture);
        QVERIFY(!m_image->isHidden());
        QCOMPARE(m_image->geometry(), QRect(0, 0, 593, 297));
        QCOMPARE(m_image->pixmap().size(), picture.size());
        setOuterSize(QSize(700, 400));
        QCOMPARE(m_image->geometry(), QRect(0, 0, 700, 380));
        m_viewer.ShowImg(QImage());
        QVERIFY(m_image->isHidden());
        m_viewer.hide();
    }
};

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
