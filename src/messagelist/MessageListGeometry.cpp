#include "messagelist/MessageListGeometry.h"

#include "core/Numbers.h"

namespace MessageListGeometry {

namespace {
// The last bubble ends about one centimetre above the viewport's lower edge.
constexpr double kEndMarginCm = 1.0;
} // namespace

Growth grow(float bottomCm) {
    Growth growth;
    if (bottomCm <= kViewportHeightCm)
        return growth;
    growth.canvasHeightCm = bottomCm;
    growth.scrollBarVisible = true;
    growth.maximum = RoundToInt32(double(bottomCm) + kEndMarginCm).value_or(0);
    growth.value = growth.maximum;
    return growth;
}

} // namespace MessageListGeometry
