#pragma once

// The message list in centimetres: a viewport of fixed height clips a canvas that grows with
// the bubbles; the scroll bar moves the canvas one centimetre a unit.
namespace MessageListGeometry {

constexpr double kViewportHeightCm = 11.5;
// The scroll bar's lowest value: the canvas then stands half a centimetre down, the first
// message whole at the top. Lower values would show an empty list.
constexpr int kScrollMinimum = 11;

struct Growth {
    double canvasHeightCm = kViewportHeightCm;
    bool scrollBarVisible = false;
    // Meaningful only while the scroll bar is visible.
    int maximum = 0;
    int value = 0;
};

// After a new bubble whose lower edge lies at bottomCm from the canvas top.
Growth grow(float bottomCm);

// Where the canvas top goes for a scroll bar value.
double canvasTopCm(int scrollValue);

} // namespace MessageListGeometry
