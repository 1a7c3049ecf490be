#pragma once

#include <QImage>
#include <QRect>
#include <QString>

// A picture the customer chose, made ready for the operator: the part they kept, no larger than
// the operator needs, as a JPEG like the screenshots.
namespace OutgoingPicture {

constexpr int kLongSideLimit = 1920;

// The part of picture inside crop; the whole picture when crop is empty or lies outside it.
QImage cropped(const QImage &picture, const QRect &crop);
// At most kLongSideLimit pixels on the long side, at least one on the short side, transparent
// parts on white (JPEG keeps no transparency).
QImage forSending(const QImage &picture);
// Writes forSending(picture) to path; empty on success, otherwise the error text.
QString writeJpeg(const QImage &picture, const QString &path);

} // namespace OutgoingPicture
