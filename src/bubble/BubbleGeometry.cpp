#include "bubble/BubbleGeometry.h"

#include "bubble/TextHelpers.h"

#include <cmath>
#include <limits>

namespace BubbleGeometry {

namespace {

constexpr int kMaxTextWidth = 4000;
constexpr int kLineHeight = 245;
constexpr int kShapeExtraWidth = 210;
constexpr int kShapeExtraHeight = 115;
constexpr int kBottomMargin = 90;
constexpr int kThumbnailWidth = 4830;
// Far beyond any screen; keeps every sum below inside int whatever the input.
constexpr qint64 kMaxContentHeight = 100'000'000;

int clampedHeight(qint64 height) {
    return int(qBound<qint64>(0, height, kMaxContentHeight));
}

} // namespace

TextLayout layoutText(int naturalWidth, const QString &text) {
    TextLayout layout;
    // Heights are plain ints: a long message gets all of its lines instead of failing half-way
    // at a 16-bit limit.
    if (naturalWidth > kMaxTextWidth) {
        layout.textWidth = kMaxTextWidth;
        layout.textHeight =
            clampedHeight((CountWrappedLines(kMaxTextWidth, text) + 1) * kLineHeight);
    } else {
        layout.textWidth = qMax(0, naturalWidth);
        layout.textHeight = clampedHeight((text.count(QLatin1Char('\r')) + 1) * kLineHeight);
    }
    layout.shapeWidth = layout.textWidth + kShapeExtraWidth;
    layout.shapeHeight = layout.textHeight + kShapeExtraHeight;
    layout.controlHeight = kTextTop + layout.textHeight + kBottomMargin;
    return layout;
}

PictureLayout layoutPicture(qint64 naturalWidth, qint64 naturalHeight, int currentHeight) {
    PictureLayout layout;
    layout.thumbnailWidth = kThumbnailWidth;
    layout.thumbnailHeight = clampedHeight(currentHeight);
    // The scaled height is taken only where the 32-bit product of the stored format holds.
    const qint64 product = naturalHeight * kThumbnailWidth;
    if (naturalWidth > 0 && naturalHeight >= 0 && product <= std::numeric_limits<qint32>::max()) {
        const float scaled = float(double(product) / double(naturalWidth));
        layout.thumbnailHeight = clampedHeight(std::llround(scaled));
    }
    layout.shapeWidth = layout.thumbnailWidth + kShapeExtraWidth;
    layout.shapeHeight = layout.thumbnailHeight + kShapeExtraHeight;
    layout.controlHeight = kThumbnailTop + layout.thumbnailHeight + kBottomMargin;
    return layout;
}

} // namespace BubbleGeometry
