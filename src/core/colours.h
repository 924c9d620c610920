// Window-log colours as 32-bit RGB values with red in the low byte.
#pragma once

#include <cstdint>

namespace qz {

using Colour = uint32_t;

inline constexpr Colour kBlack = 0;
inline constexpr Colour kRed = 255;
inline constexpr Colour kGreen = 65280;
inline constexpr Colour kBlue = 16711680;
inline constexpr Colour kGrey = 8421504;

}  // namespace qz
