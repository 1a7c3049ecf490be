#pragma once

#include <QRect>
#include <QtGlobal>
#include <cmath>

// The system measures in twips and centimetres; the widgets work in logical pixels, which Qt
// scales for high-dpi screens.
namespace Units {

constexpr double kTwipsPerPixel = 15.0;
constexpr double kTwipsPerCm = 567.0;

inline int twipsToPixels(double twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}
// Each edge rounds on its own, as the widgets placed in twips always did.
inline QRect twipsToPixels(const QRect &twips) {
    return QRect(twipsToPixels(twips.left()), twipsToPixels(twips.top()),
                 twipsToPixels(twips.width()), twipsToPixels(twips.height()));
}
inline double pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}
inline double twipsToCm(double twips) {
    return twips / kTwipsPerCm;
}
inline double cmToTwips(double cm) {
    return cm * kTwipsPerCm;
}

} // namespace Units
