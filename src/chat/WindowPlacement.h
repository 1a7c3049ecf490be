#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace WindowPlacement {

// Top left corner for a window of outer size window that leaves 200 twips to the right edge
// and 600 twips to the bottom edge of screen.
QPoint bottomRight(const QRect &screen, const QSize &window);

} // namespace WindowPlacement
