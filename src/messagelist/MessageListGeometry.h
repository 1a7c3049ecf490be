#pragma once

// The message list in centimetres: a viewport of fixed height shows a list that grows with the
// bubbles; the scroll bar's range and value follow from where the last bubble ends.
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

} // namespace MessageListGeometry
