#include "outgoing/PictureOffer.h"

#include "bubble/UprightPicture.h"
#include "outgoing/OutgoingPicture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace {
const QString kFilterName = QStringLiteral("Immagini");

QStringList localFiles(const QMimeData &mime) {
    QStringList files;
    for (const QUrl &url : mime.urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

// The bytes of the first picture type offered that Qt reads, decoded at the size they are sent
// at: a large picture would not survive Qt's whole decoding of QMimeData::imageData. A picture a
// program placed as an image object has no such bytes.
QImage clipboardPicture(const QMimeData &mime) {
    const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QString &format : mime.formats()) {
        if (!readable.contains(format.toLatin1()))
            continue;
        QByteArray bytes = mime.data(format);
        if (bytes.isEmpty())
            continue;
        QBuffer buffer(&bytes);
        return UprightPicture::readFitting(&buffer, OutgoingPicture::kLongSideLimit);
    }
    return qvariant_cast<QImage>(mime.imageData());
}

// QMimeData::hasText counts web addresses as text too; a browser's copied picture has one.
bool hasPlainText(const QMimeData &mime) {
    return !mime.formats().filter(QRegularExpression(QStringLiteral("^text/plain\\b"))).isEmpty();
}
} // namespace

PictureOffer PictureOffer::fromMimeData(const QMimeData &mime) {
    const QStringList files = localFiles(mime);
    if (!files.isEmpty())
        return fromFiles(files);
    if (!mayHold(mime))
        return {};
    PictureOffer offer;
    offer.picture = clipboardPicture(mime);
    offer.unreadablePicture = offer.picture.isNull();
    return offer;
}

// Office programs put a picture of copied cells or text beside the text itself.
bool PictureOffer::mayHold(const QMimeData &mime) {
    return !localFiles(mime).isEmpty() || (!hasPlainText(mime) && mime.hasImage());
}

PictureOffer PictureOffer::fromFiles(const QStringList &paths) {
    PictureOffer offer;
    for (const QString &path : paths) {
        const bool picture = QFileInfo(path).isFile() && QImageReader(path).canRead();
        (picture ? offer.pictureFiles : offer.otherFiles) << path;
    }
    return offer;
}

QImage PictureOffer::read(const QString &path) {
    return UprightPicture::readFitting(path, OutgoingPicture::kLongSideLimit);
}

QString PictureOffer::fileDialogFilter() {
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return kFilterName + QStringLiteral(" (") + patterns.join(u' ') + u')';
}
