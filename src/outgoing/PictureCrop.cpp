#include "outgoing/PictureCrop.h"

namespace PictureCrop {

QRect shownRect(QSize picture, QSize area) {
    QSize shown = picture;
    if (picture.width() > area.width() || picture.height() > area.height())
        shown = picture.scaled(area, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const QPoint topLeft((area.width() - shown.width()) / 2, (area.height() - shown.height()) / 2);
    return QRect(topLeft, shown);
}

// Whole-number arithmetic, so that a drag over the whole shown picture gives the whole picture
// at every scale.
QRect toPicture(const QRect &dragged, const QRect &shown, QSize picture) {
    const QRect inside = dragged & shown;
    if (inside.isEmpty() || shown.isEmpty())
        return QRect();
    const auto floorTo = [](qint64 shownOffset, qint64 pictureLength, qint64 shownLength) {
        return int(shownOffset * pictureLength / shownLength);
    };
    const auto ceilTo = [](qint64 shownOffset, qint64 pictureLength, qint64 shownLength) {
        return int((shownOffset * pictureLength + shownLength - 1) / shownLength);
    };
    const int left = floorTo(inside.left() - shown.left(), picture.width(), shown.width());
    const int top = floorTo(inside.top() - shown.top(), picture.height(), shown.height());
    const int right = ceilTo(inside.right() + 1 - shown.left(), picture.width(), shown.width());
    const int bottom = ceilTo(inside.bottom() + 1 - shown.top(), picture.height(), shown.height());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

} // namespace PictureCrop
