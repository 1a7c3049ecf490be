#pragma once

#include <QColor>
#include <QRect>
#include <QtGlobal>
#include <cmath>

// The system measures in twips and centimetres and writes colours as 0x00BBGGRR; the widgets
// work in logical pixels and QColor. Qt scales logical pixels for high-dpi screens.
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

inline QColor fromOleColor(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace Units
