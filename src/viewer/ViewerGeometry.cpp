#include "viewer/ViewerGeometry.h"

#include <QtGlobal>

namespace ViewerGeometry {

namespace {

constexpr double kWidthMargin = 100;
constexpr double kBottomStrip = 300;

} // namespace

std::optional<QSizeF> shownPictureSize(double windowWidth, QSize picture) {
    if (picture.width() <= 0 || picture.height() < 0)
        return std::nullopt;
    const double width = qMax(0.0, windowWidth - kWidthMargin);
    return QSizeF(width, width * picture.height() / picture.width());
}

QSizeF resizedPictureSize(double windowWidth, double windowHeight) {
    return QSizeF(qMax(0.0, windowWidth), qMax(0.0, windowHeight - kBottomStrip));
}

} // namespace ViewerGeometry
