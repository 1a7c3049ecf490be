#include "ClipboardData.h"
#include "TestFiles.h"
#include "TestPictures.h"

#include "bubble/UprightPicture.h"
#include "outgoing/OutgoingPicture.h"
#include "outgoing/PictureOffer.h"

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
    // From a 4000 x 1000 picture.
    void conversion_data() {
        QTest::addColumn<QRect>("crop");
        QTest::addColumn<QSize>("sent");
        QTest::addColumn<bool>("rightHalf");
        QTest::newRow("cut at the edge") << QRect(3500, 500, 1000, 1000) << QSize(500, 500) << true;
        QTest::newRow("beside: the whole") << QRect(5000, 0, 10, 10) << QSize(1920, 480) << false;
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

    // Each EXIF orientation of an 80 x 40 picture, read as a thumbnail of half its size a quarter
    // at a time, as the message list reads what it shows.
    void picturesAreReadUpright_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("corners"); // top left, top right, bottom left, bottom right
        const char *upright[] = {"rgby", "gryb", "ybgr", "byrg", "rbgy", "bryg", "ygbr", "gyrb"};
        for (int i = 1; i <= 8; ++i)
            QTest::addRow("%d", i)
                << i << (i < 5 ? QSize(80, 40) : QSize(40, 80)) << QString(upright[i - 1]);
    }
    void picturesAreReadUpright() {
        QFETCH(int, orientation);
        QFETCH(QSize, size);
        const QString path = m_files.filePath(QString::number(orientation) + ".jpg");
        QVERIFY(writeFile(path, jpegWithOrientation({80, 40}, quint16(orientation))));
        QCOMPARE(UprightPicture::size(path), size);
        // A piece's edges lie on the quadrants' borders, where scaling mixes their colours.
        const QSize piece = size / 4;
        QString pieces;
        for (const QPoint at : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            const QImage read = UprightPicture::readScaled(
                path, size / 2,
                QRect(QPoint(at.x() * piece.width(), at.y() * piece.height()), piece));
            QCOMPARE(read.size(), piece);
            pieces += colourLetter(read.pixelColor(piece.width() / 2, piece.height() / 2));
        }
        QTEST(pieces, "corners");
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
