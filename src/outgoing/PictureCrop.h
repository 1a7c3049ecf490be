#pragma once

#include <QRect>
#include <QSize>

// Where the preview shows a picture, and which part of the picture a rectangle dragged over it
// covers.
namespace PictureCrop {

// The picture scaled down to fit area (never up), centred in it.
QRect shownRect(QSize picture, QSize area);
// The picture pixels that the dragged widget rectangle (top left to bottom right) touches, within
// the picture; empty when it misses the shown picture.
QRect toPicture(const QRect &dragged, const QRect &shown, QSize picture);

} // namespace PictureCrop
