// Window-log colors as 32-bit RGB values with red in the low byte.
#pragma once

#include <cstdint>

namespace qz {

using Color = uint32_t;
// The window's code (src/ui/) still spells the type so.
using Colour = Color;

inline constexpr Color kBlack = 0;
inline constexpr Color kRed = 255;
inline constexpr Color kGreen = 65280;
inline constexpr Color kBlue = 16711680;
inline constexpr Color kGrey = 8421504;

}  // namespace qz
