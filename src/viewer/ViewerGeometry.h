#pragma once

#include <QSize>
#include <QSizeF>

#include <optional>

// Size arithmetic of the image viewer, in twips of the window's outer size.
namespace ViewerGeometry {

// The picture across the window's width less a margin, in its own proportions; nothing for a
// picture without width, which has no proportions.
std::optional<QSizeF> shownPictureSize(double windowWidth, QSize picture);

// After any change of the window's size the picture fills it, less a strip at the bottom.
QSizeF resizedPictureSize(double windowWidth, double windowHeight);

} // namespace ViewerGeometry
