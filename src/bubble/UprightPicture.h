#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

class QIODevice;

// Pictures read turned upright as the camera recorded them (EXIF orientation), and decoded
// straight at the size they are shown or sent: a large photo never lies in memory whole, and
// every size here is the upright one.
namespace UprightPicture {

// From the header alone; invalid when the file is no picture.
QSize size(const QString &path);

// At exactly the given size, or only the part clip of it when clip is not empty; null when the
// picture cannot be read.
QImage readScaled(const QString &path, QSize scaled, const QRect &clip = {});

// No side longer than longSide (smaller pictures stay as they are); null when the picture cannot
// be read: damaged, or too large for Qt to decode at all.
QImage readFitting(QIODevice *device, int longSide);
QImage readFitting(const QString &path, int longSide);

} // namespace UprightPicture
