#pragma once

#include <QString>
#include <QtGlobal>

// The bubble's layout arithmetic in twips, apart from any widget so that it can be checked on
// numbers alone.
namespace BubbleGeometry {

// Positions the layout never changes.
constexpr int kShapeLeft = 975;
constexpr int kShapeTop = 30;
constexpr int kTextLeft = 1080;
constexpr int kTextTop = 75;
constexpr int kThumbnailLeft = 945;
constexpr int kThumbnailTop = 30;
// The widest text before it wraps.
constexpr int kMaxTextWidth = 4000;

struct TextLayout {
    int textWidth = 0;
    int textHeight = 0;
    int shapeWidth = 0;
    int shapeHeight = 0;
    int controlHeight = 0;
};

// The text's width: its widest hard line, up to the widest a bubble allows.
int textWidth(int naturalWidth);

// naturalWidth: the widest hard line of text in the bubble's font, in twips; laidOutLines: the
// lines the text takes when laid out at textWidth(naturalWidth). The width table's estimate
// gives the height unless the laid-out text needs more lines: no line is ever hidden.
TextLayout layoutText(int naturalWidth, const QString &text, int laidOutLines);

struct PictureLayout {
    int thumbnailWidth = 0;
    int thumbnailHeight = 0;
    int shapeWidth = 0;
    int shapeHeight = 0;
    int controlHeight = 0;
};

// naturalWidth, naturalHeight: the picture's size in twips; currentHeight: the thumbnail's
// height before, kept when the picture gives no usable width.
PictureLayout layoutPicture(qint64 naturalWidth, qint64 naturalHeight, int currentHeight);

} // namespace BubbleGeometry
