// Peak memory of reading a large picture the customer sends, as a paste (the clipboard's bytes)
// and as a picked file, through to the JPEG that is uploaded; and the size that goes out. Each
// reading runs in a process of its own, so that its peak is its own.
#include "BenchTable.h"
#include "ClipboardData.h"
#include "ProcessStats.h"

#include "outgoing/OutgoingPicture.h"
#include "outgoing/PictureOffer.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Picture {
    const char *what;
    QSize size;
    const char *format;
    const char *mimeType;
};

// A camera photo turned by its EXIF block, a stitched panorama, a scrolling screenshot, and the
// camera photo as a browser copies it.
const Picture kPictures[] = {
    {"8000 x 6000 photo, JPEG turned by EXIF", {8000, 6000}, "jpeg", "image/jpeg"},
    {"12000 x 9000 panorama, JPEG", {12000, 9000}, "jpeg", "image/jpeg"},
    {"1080 x 25000 scrolling screenshot, PNG", {1080, 25000}, "png", "image/png"},
    {"8000 x 6000 photo, PNG", {8000, 6000}, "png", "image/png"},
};

// The EXIF block of a picture stored on its side (orientation 6), right after the JPEG's start.
QByteArray turnedOnItsSide(QByteArray jpeg) {
    const QByteArray exif = QByteArray::fromHex("ffe10022"
                                                "457869660000"
                                                "4d4d002a00000008"
                                                "0001"
                                                "011200030000000100060000"
                                                "00000000");
    return jpeg.insert(2, exif);
}

// Gradients with grain, so that the encoders work as hard as on a photo.
QByteArray encodedPicture(const Picture &picture) {
    QImage image(picture.size, QImage::Format_RGB888);
    QRandomGenerator grain(1920);
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(grain.bounded(24));
            line[3 * x] = uchar((x * 255 / image.width() + noise) & 0xff);
            line[3 * x + 1] = uchar((y * 255 / image.height() + noise) & 0xff);
            line[3 * x + 2] = uchar(((x + y) / 16 + noise) & 0xff);
        }
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QImageWriter(&bytes, picture.format).write(image);
    return qstrcmp(picture.format, "jpeg") == 0 && picture.size == QSize(8000, 6000)
               ? turnedOnItsSide(bytes.data())
               : bytes.data();
}

// In the child: what the chat window does with a paste or a picked file, up to the upload's JPEG.
int readAndSend(const QString &how, const QString &path, const QString &mimeType,
                const QString &jpegPath) {
    QImage picture;
    if (how == QLatin1String("paste")) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 2;
        ClipboardData clipboard({{mimeType, file.readAll()}});
        picture = PictureOffer::fromMimeData(clipboard).picture;
    } else {
        picture = PictureOffer::read(PictureOffer::fromFiles({path}).pictureFiles.value(0));
    }
    const bool written =
        !picture.isNull() && OutgoingPicture::writeJpeg(picture, jpegPath).isEmpty();
    const QSize sent = written ? QImageReader(jpegPath).size() : QSize(0, 0);
    std::printf("%lld %d %d\n", ProcessStats::self().peakResidentKiB, sent.width(), sent.height());
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 6 && arguments[1] == QLatin1String("read"))
        return readAndSend(arguments[2], arguments[3], arguments[4], arguments[5]);

    QTemporaryDir folder;
    int status = 0;
    for (const Picture &picture : kPictures) {
        const QString path = folder.filePath(QStringLiteral("picture.") + picture.format);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(encodedPicture(picture)) < 0)
            return 1;
        file.close();
        for (const QString &how : {QStringLiteral("paste"), QStringLiteral("file")}) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("read"), how, path, QString::fromLatin1(picture.mimeType),
                         folder.filePath(QStringLiteral("sent.jpg"))});
            const QList<QByteArray> figures =
                child.waitForFinished(-1) ? child.readAllStandardOutput().simplified().split(' ')
                                          : QList<QByteArray>();
            if (figures.size() != 3) {
                status = 1;
                continue;
            }
            const QString row = QStringLiteral("pictures: %1, %2: ").arg(picture.what, how);
            printRow(row + QStringLiteral("peak memory"), figures[0].toDouble() / 1024,
                     QStringLiteral("MiB"));
            printRow(row + QStringLiteral("sent width"), figures[1].toDouble(),
                     QStringLiteral("px (0: said unreadable)"));
            printRow(row + QStringLiteral("sent height"), figures[2].toDouble(),
                     QStringLiteral("px"));
        }
        printRow(QStringLiteral("pictures: %1: file size").arg(picture.what),
                 double(QFileInfo(path).size()) / (1024 * 1024), QStringLiteral("MiB"));
    }
    return status;
}
