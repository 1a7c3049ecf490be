#include "ClipboardData.h"
#include "TestFiles.h"
#include "TestPictures.h"

#include "outgoing/OutgoingPicture.h"
#include "outgoing/PictureFileName.h"
#include "outgoing/PictureOffer.h"

#include <QBuffer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

// A PNG whose header claims 100000 x 100000 pixels, with a few bytes of data.
static const QByteArray kHugePng = QByteArray::fromHex(
    "89504e470d0a1a0a0000000d49484452000186a0000186a0080200000027309c9f0000000c49444154789c6360a0"
    "0c000000400001b7347cef0000000049454e44ae426082");

// A PNG of one bit a pixel: small in memory and on disk however large it is.
static QByteArray largePng(QSize size) {
    QImage picture(size, QImage::Format_Mono);
    picture.fill(0);
    QBuffer png;
    return png.open(QIODevice::WriteOnly) && picture.save(&png, "png") ? png.data() : QByteArray();
}

using namespace OutgoingPicture;

class TestPictureLogic : public QObject {
    Q_OBJECT
    QTemporaryDir m_files;

private slots:
    // What is sent: the crop within the picture, the whole one for a crop beside it; no side
    // over 1920, none under a pixel; transparent parts white.
    void conversion() {
        const QImage picture = quadrants({4000, 1000});
        const QImage rightEdge = forSending(cropped(picture, QRect(3500, 500, 1000, 1000)));
        QCOMPARE(rightEdge.size(), QSize(500, 500));
        QCOMPARE(rightEdge.pixelColor(0, 0), QColor(Qt::yellow)); // the lower right quarter
        QCOMPARE(forSending(cropped(picture, QRect(5000, 0, 10, 10))).size(), QSize(1920, 480));
        QCOMPARE(forSending(cropped(picture, QRect(0, 0, 4000, 1))).size(), QSize(1920, 1));
        QImage clear(10, 10, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QCOMPARE(forSending(clear).pixelColor(5, 5), QColor(Qt::white));
    }

    // The bytes Qt's own JPEG writer gives at quality 80; an unwritable path is an error.
    void writesAJpegOfQuality80() {
        const QImage picture = quadrants({300, 200});
        QCOMPARE(writeJpeg(picture, m_files.filePath("a.jpg")), QString());
        QBuffer expected;
        QVERIFY(expected.open(QIODevice::WriteOnly) && picture.save(&expected, "jpeg", 80));
        QCOMPARE(bytesOf(m_files.filePath("a.jpg")), expected.data());
        QVERIFY(!writeJpeg(picture, "/no/such/folder/a.jpg").isEmpty());
    }

    // Pasted bytes are read at the size they are sent at, upright; what cannot be read is said.
    void clipboardPictureIsReadScaled_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size"); // empty: unreadable
        QTest::newRow("JPEG 4000 x 100 turned: 48 x 1920 upright")
            << "image/jpeg" << jpegWithOrientation({4000, 100}, 6) << QSize(48, 1920);
        QTest::newRow("PNG 8000 x 6000, past Qt's decoding limit: 1920 x 1440")
            << "image/png" << largePng({8000, 6000}) << QSize(1920, 1440);
        QTest::newRow("an image type, then no data") << "image/png" << QByteArray() << QSize(0, 0);
        QTest::newRow("PNG that claims 100000 x 100000") << "image/png" << kHugePng << QSize(0, 0);
        QTest::newRow("PNG cut inside its rows")
            << "image/png" << largePng({4000, 4000}).left(200) << QSize(0, 0);
    }
    void clipboardPictureIsReadScaled() {
        QFETCH(QString, format);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const PictureOffer offer = PictureOffer::fromMimeData(ClipboardData({{format, bytes}}));
        QCOMPARE(offer.picture.size(), size);
        QCOMPARE(offer.unreadablePicture, size.isEmpty());
        QVERIFY(!offer.isEmpty());
    }

    // Files go before the text beside them, pictures known by their content.
    void offerPrefersFilesByContentThenText() {
        const QString png = m_files.filePath("schermo.txt"), empty = m_files.filePath("vuota.jpg");
        QVERIFY(quadrants({8, 8}).save(png, "png") && QFile(empty).open(QIODevice::WriteOnly));
        QMimeData mime;
        mime.setUrls({QUrl("https://esempio.it/foto.png"), QUrl::fromLocalFile(empty),
                      QUrl::fromLocalFile(png), QUrl::fromLocalFile(m_files.path())});
        mime.setText("buongiorno");
        const PictureOffer offer = PictureOffer::fromMimeData(mime);
        QCOMPARE(offer.pictureFiles, QStringList{png});
        QCOMPARE(offer.otherFiles, (QStringList{empty, m_files.path()}));
        // Text beside a picture pastes as text, also as other programs name it on the X clipboard.
        mime.clear();
        mime.setData("text/plain;charset=utf-8", "buongiorno");
        mime.setImageData(quadrants({20, 10}));
        QVERIFY(PictureOffer::fromMimeData(mime).isEmpty() && !PictureOffer::mayHold(mime));
    }

    // A second picture in the same second would replace the first, here and at the service.
    void secondPictureOfASecondTakesTheNext() {
        writeFile(m_files.filePath("57_20240305140709.jpg"), "sent");
        const QDateTime at(QDate(2024, 3, 5), QTime(14, 7, 9));
        QCOMPARE(PictureFileName::freeIn(QDir(m_files.path()), 57, at), "57_20240305140710.jpg");
    }
};

QTEST_MAIN(TestPictureLogic)
#include "tst_picturelogic.moc"
