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

struct TextLayout {
    int textWidth = 0;
    int textHeight = 0;
    int shapeWidth = 0;
    int shapeHeight = 0;
    int controlHeight = 0;
};

// naturalWidth: the widest hard line of text in the bubble's font, in twips.
TextLayout layoutText(int naturalWidth, const QString &text);

struct PictureLayout {
    int thumbnailWidth = 0;
    int thumbnailHeight = 0;
    int shapeWidth = 0;
    int shapeHeight = 0;
    int controlHeight = 0;
};

// naturalWidth, naturalHeight: the picture's size in twips; currentHeight: the thumbnail's
// height before, kept when the picture gives no usable height.
PictureLayout layoutPicture(qint64 naturalWidth, qint64 naturalHeight, int currentHeight);

} // namespace BubbleGeometry
