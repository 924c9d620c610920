// Decimal numbers as the runtime's conversion reads them: leading blanks, an optional
// sign, then digits; no digits read 0. Wraps at 32 bits instead of overflowing.
#pragma once

#include <cstdint>
#include <string_view>

namespace qz {

int32_t parse_decimal(std::string_view text);

}  // namespace qz
