#include "chat/WindowPlacement.h"

#include "app/Units.h"

namespace WindowPlacement {

namespace {
constexpr double kRightMarginTwips = 200;
constexpr double kBottomMarginTwips = 600;
} // namespace

QPoint bottomRight(const QRect &screen, const QSize &window) {
    using namespace Units;
    const double left =
        pixelsToTwips(screen.width()) - pixelsToTwips(window.width()) - kRightMarginTwips;
    const double top =
        pixelsToTwips(screen.height()) - pixelsToTwips(window.height()) - kBottomMarginTwips;
    return screen.topLeft() + QPoint(twipsToPixels(left), twipsToPixels(top));
}

} // namespace WindowPlacement
