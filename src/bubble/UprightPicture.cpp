#include "bubble/UprightPicture.h"

#include "bubble/ReducedPng.h"

#include <QFile>
#include <QImageReader>
#include <QTransform>

namespace {

bool turnsAside(QImageIOHandler::Transformations transformation) {
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

// The picture as stored, in the sizes of the upright one, and the other way round: the reader
// scales and clips before it turns the picture.
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

// No side longer than longSide; QSize::scaled would round a very thin picture's short side
// down to nothing.
QSize fitting(QSize upright, int longSide) {
    if (qMax(upright.width(), upright.height()) <= longSide)
        return upright;
    return upright.scaled(longSide, longSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage readFittingFrom(QImageReader &reader, int longSide) {
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const QSize upright = storedSize(reader, stored);
    const QSize fitted = fitting(upright, longSide);
    if (stored.isValid() && fitted != upright)
        reader.setScaledSize(storedSize(reader, fitted));
    return reader.read();
}

// A large PNG that Qt would decode whole goes to ReducedPng; PNGs that carry an orientation
// are left to Qt, which turns them.
QImage reducedPng(QIODevice *device, int longSide) {
    const qint64 start = device->pos();
    QImageReader probe(device);
    const QSize stored = probe.size();
    const bool plainPng =
        probe.format() == "png" && probe.transformation() == QImageIOHandler::TransformationNone;
    const QSize reduced = fitting(stored, longSide);
    if (!plainPng || !stored.isValid() || reduced == stored || !device->seek(start))
        return {};
    return ReducedPng::read(device, reduced);
}

} // namespace

namespace UprightPicture {

QSize size(const QString &path) {
    QImageReader reader(path);
    return storedSize(reader, reader.size());
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
    const qint64 start = device->pos();
    if (!device->isSequential()) {
        const QImage reduced = reducedPng(device, longSide);
        if (!reduced.isNull() || !device->seek(start))
            return reduced;
    }
    QImageReader reader(device);
    return readFittingFrom(reader, longSide);
}

QImage readFitting(const QString &path, int longSide) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readFitting(&file, longSide);
}

} // namespace UprightPicture
