#include "bubble/BubbleGeometry.h"

#include "bubble/TextHelpers.h"

#include <cmath>

namespace BubbleGeometry {

namespace {

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

int textWidth(int naturalWidth) {
    return qBound(0, naturalWidth, kMaxTextWidth);
}

TextLayout layoutText(int naturalWidth, const QString &text, int laidOutLines) {
    // Line breaks of every kind count, as the laid-out text breaks at each of them.
    const QStringList hardLines = HardLines(text);
    qint64 estimatedLines = hardLines.size();
    if (naturalWidth > kMaxTextWidth) {
        estimatedLines = 0;
        for (const QString &line : hardLines)
            estimatedLines += CountWrappedLines(kMaxTextWidth, line) + 1;
    }
    TextLayout layout;
    layout.textWidth = textWidth(naturalWidth);
    // Heights are plain ints: a long message gets all of its lines instead of failing half-way
    // at a 16-bit limit.
    layout.textHeight = clampedHeight(qMax<qint64>(estimatedLines, laidOutLines) * kLineHeight);
    layout.shapeWidth = layout.textWidth + kShapeExtraWidth;
    layout.shapeHeight = layout.textHeight + kShapeExtraHeight;
    layout.controlHeight = kTextTop + layout.textHeight + kBottomMargin;
    return layout;
}

PictureLayout layoutPicture(qint64 naturalWidth, qint64 naturalHeight, int currentHeight) {
    PictureLayout layout;
    layout.thumbnailWidth = kThumbnailWidth;
    layout.thumbnailHeight = clampedHeight(currentHeight);
    // In 64 bits a very tall picture keeps its proportions instead of its old height.
    if (naturalWidth > 0 && naturalHeight >= 0) {
        // Stored in single precision, as the thumbnail's height always was.
        const float scaled =
            float(qMin(double(naturalHeight) * kThumbnailWidth / double(naturalWidth), 1e9));
        layout.thumbnailHeight = clampedHeight(std::llround(scaled));
    }
    layout.shapeWidth = layout.thumbnailWidth + kShapeExtraWidth;
    layout.shapeHeight = layout.thumbnailHeight + kShapeExtraHeight;
    layout.controlHeight = kThumbnailTop + layout.thumbnailHeight + kBottomMargin;
    return layout;
}

} // namespace BubbleGeometry
