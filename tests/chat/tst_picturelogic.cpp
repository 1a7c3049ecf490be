#include "TestFiles.h"

#include "chat/OutgoingPicture.h"
#include "chat/PictureOffer.h"
#include "chat/PicturePreview.h"

#include <QBuffer>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

// Left half red, right half blue: which half a crop kept shows in its corner.
static QImage halves(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(size.width() / 2, 0, size.width(), size.height(), Qt::blue);
    return picture;
}

using namespace OutgoingPicture;

class TestPictureLogic : public QObject {
    Q_OBJECT
    QTemporaryDir m_files;

private slots:
    // From a 4000 x 1000 picture.
    void conversion_data() {
        QTest::addColumn<QRect>("crop");
        QTest::addColumn<QSize>("sent");
        QTest::addColumn<bool>("rightHalf");
        QTest::newRow("cut at the edge") << QRect(3500, 500, 1000, 1000) << QSize(500, 500) << true;
        QTest::newRow("beside: the whole") << QRect(5000, 0, 10, 10) << QSize(1920, 480) << false;
        QTest::newRow("crop, then 1920") << QRect(2000, 0, 2000, 500) << QSize(1920, 480) << true;
        QTest::newRow("a line keeps a pixel") << QRect(0, 0, 4000, 1) << QSize(1920, 1) << false;
    }
    void conversion() {
        QFETCH(QRect, crop);
        QFETCH(bool, rightHalf);
        const QImage sent = forSending(cropped(halves({4000, 1000}), crop));
        QTEST(sent.size(), "sent");
        QCOMPARE(sent.pixelColor(0, 0), QColor(rightHalf ? Qt::blue : Qt::red));
    }

    void transparentPartsTurnWhite() {
        QImage picture(10, 10, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QCOMPARE(forSending(picture).pixelColor(5, 5), QColor(Qt::white));
    }

    // The bytes Qt's own JPEG writer gives at quality 80; an unwritable path is an error.
    void writesAJpegOfQuality80() {
        const QImage picture = halves({300, 200});
        QCOMPARE(writeJpeg(picture, m_files.filePath("a.jpg")), QString());
        QBuffer expected;
        QVERIFY(expected.open(QIODevice::WriteOnly) && picture.save(&expected, "jpeg", 80));
        QCOMPARE(bytesOf(m_files.filePath("a.jpg")), expected.data());
        QVERIFY(!writeJpeg(picture, "/no/such/folder/a.jpg").isEmpty());
    }

    // The area shows the picture scaled down to fit 640 x 480 (never up), centred: 1000 x 1000
    // at 0.48 from x 80. The drag is in the area's pixels, and may go backwards.
    void previewCropIsInThePicturesPixels() {
        PicturePreview preview(halves({1000, 1000}));
        auto *area = preview.findChild<QWidget *>("CropArea");
        QTest::mousePress(area, Qt::LeftButton, {}, {200, 150});
        QTest::mouseMove(area, {100, 50});
        QTest::mouseRelease(area, Qt::LeftButton, {}, {100, 50});
        QCOMPARE(preview.crop(), QRect(208, 104, 211, 211)); // outward to whole pixels
        QTest::mouseClick(area, Qt::LeftButton, {}, {300, 300});
        QCOMPARE(preview.crop(), QRect()); // a click keeps the whole picture
    }

    void offerPrefersFilesByContentThenText() {
        const QString png = m_files.filePath("schermo.txt"), empty = m_files.filePath("vuota.jpg");
        QVERIFY(halves({8, 8}).save(png, "png") && QFile(empty).open(QIODevice::WriteOnly));
        const QStringList others{empty, m_files.path(), m_files.filePath("sparita.png")};
        QMimeData mime;
        mime.setUrls({QUrl("https://esempio.it/foto.png"), QUrl::fromLocalFile(others[0]),
                      QUrl::fromLocalFile(png), QUrl::fromLocalFile(others[1]),
                      QUrl::fromLocalFile(others[2])});
        mime.setText("buongiorno");
        mime.setImageData(halves({20, 10}));
        const PictureOffer offer = PictureOffer::fromMimeData(mime);
        QCOMPARE(offer.pictureFiles, QStringList{png});
        QCOMPARE(offer.otherFiles, others);
        QVERIFY(offer.picture.isNull() && PictureOffer::mayHold(mime));
        // Text beside a picture pastes as text, also as other programs name it on the X clipboard.
        mime.clear();
        mime.setData("text/plain;charset=utf-8", "buongiorno");
        mime.setImageData(halves({20, 10}));
        QVERIFY(PictureOffer::fromMimeData(mime).isEmpty() && !PictureOffer::mayHold(mime));
    }
};

QTEST_MAIN(TestPictureLogic)
#include "tst_picturelogic.moc"
