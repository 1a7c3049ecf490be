#pragma once

#include <QtGlobal>

// The bubbles' colours as 0x00BBGGRR, the form ChatMessage carries; shared with the benchmarks.
namespace BubbleColours {

inline constexpr quint32 kOperatorBack = 0x00FF8400;
inline constexpr quint32 kOperatorFore = 0x00FFFFFF;
inline constexpr quint32 kCustomerBack = 0x00F0E8E3;
inline constexpr quint32 kCustomerFore = 0x00000000;

} // namespace BubbleColours
