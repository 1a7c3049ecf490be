#pragma once

#include <QColor>

// The bubbles' colours, as the session hands them to the window; shared with the benchmarks.
namespace BubbleColours {

inline constexpr QColor kOperatorBack(0, 132, 255);
inline constexpr QColor kOperatorFore(255, 255, 255);
inline constexpr QColor kCustomerBack(227, 232, 240);
inline constexpr QColor kCustomerFore(0, 0, 0);

} // namespace BubbleColours
