#include "bubble/UprightPicture.h"

#include <QImageReader>
#include <QTransform>

namespace {

bool turnsAside(QImageIOHandler::Transformations transformation) {
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

// The picture as stored, in the sizes of the upright one: the reader scales and clips before it
// turns the picture.
QSize storedSize(const QImageReader &reader, QSize upright) {
    return turnsAside(reader.transformation()) ? upright.transposed() : upright;
}

// Maps the stored picture's coordinates to the upright one's, in the order Qt turns a picture:
// mirror and flip first, then a quarter turn clockwise (or three, alone).
QTransform toUpright(QImageIOHandler::Transformations transformation, QSizeF stored) {
    if (transformation == QImageIOHandler::TransformationRotate270)
        return QTransform(0, -1, 1, 0, 0, stored.width());
    QTransform turn;
    if (transformation.testFlag(QImageIOHandler::TransformationMirror))
        turn = QTransform(-1, 0, 0, 1, stored.width(), 0);
    if (transformation.testFlag(QImageIOHandler::TransformationFlip))
        turn *= QTransform(1, 0, 0, -1, 0, stored.height());
    if (turnsAside(transformation))
        turn *= QTransform(0, 1, -1, 0, stored.height(), 0);
    return turn;
}

QImage readFittingFrom(QImageReader &reader, int longSide) {
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const QSize upright = turnsAside(reader.transformation()) ? stored.transposed() : stored;
    if (stored.isValid() && qMax(upright.width(), upright.height()) > longSide) {
        // QSize::scaled rounds a very thin picture's short side down to nothing.
        const QSize fitting =
            upright.scaled(longSide, longSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        reader.setScaledSize(storedSize(reader, fitting));
    }
    return reader.read();
}

} // namespace

namespace UprightPicture {

QSize size(const QString &path) {
    QImageReader reader(path);
    const QSize stored = reader.size();
    return turnsAside(reader.transformation()) ? stored.transposed() : stored;
}

QImage readScaled(const QString &path, QSize scaled, const QRect &clip) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = storedSize(reader, scaled);
    reader.setScaledSize(stored);
    if (!clip.isEmpty()) {
        const QTransform fromUpright = toUpright(reader.transformation(), stored).inverted();
        reader.setScaledClipRect(fromUpright.mapRect(QRectF(clip)).toAlignedRect());
    }
    return reader.read();
}

QImage readFitting(QIODevice *device, int longSide) {
    QImageReader reader(device);
    return readFittingFrom(reader, longSide);
}

QImage readFitting(const QString &path, int longSide) {
    QImageReader reader(path);
    return readFittingFrom(reader, longSide);
}

} // namespace UprightPicture
