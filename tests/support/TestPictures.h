#pragma once

#include <QBuffer>
#include <QColor>
#include <QDataStream>
#include <QImage>
#include <QPainter>

// Stored as red, green over blue, yellow; flat, so JPEG keeps each quadrant's colour.
inline QImage quadrants(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    const int w = size.width() / 2, h = size.height() / 2;
    QPainter painter(&picture);
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, w, h, Qt::green);
    painter.fillRect(0, h, w, h, Qt::blue);
    painter.fillRect(w, h, w, h, Qt::yellow);
    return picture;
}

// One letter a quadrant colour: r, g, b, y; ? for anything else. Indexed by the channels that
// are bright: red 4, green 2, blue 1.
inline QChar colourLetter(QColor c) {
    return QStringLiteral("?bg?r?y?")
        .at((c.red() > 160) * 4 + (c.green() > 160) * 2 + (c.blue() > 160));
}

// A JPEG with an EXIF block right after its start: a big-endian TIFF header and, right after it,
// one directory of a single entry, Orientation (0x0112, SHORT).
inline QByteArray jpegWithOrientation(QSize size, quint16 orientation) {
    QBuffer jpeg;
    if (!jpeg.open(QIODevice::WriteOnly) || !quadrants(size).save(&jpeg, "jpeg", 100))
        return {};
    QByteArray exif("Exif\0\0MM\0\x2a", 10), segment("\xff\xe1", 2);
    // One value, padded; no next directory.
    QDataStream(&exif, QIODevice::Append)
        << quint32(8) << quint16(1) << quint16(0x0112) << quint16(3) << quint32(1) << orientation
        << quint16(0) << quint32(0);
    QDataStream(&segment, QIODevice::Append) << quint16(exif.size() + 2);
    return jpeg.buffer().insert(2, segment + exif);
}
