// Win32 error codes in the errno terms the layers above speak (they print a code's text
// and pick their advice by it, e.g. EBUSY for a port in use).
#pragma once

#include <cstdint>

namespace qz {

// A Win32 code with no errno of its own is kept as kWindowsCodeBase + code, beyond every
// errno value, so that error_text still words it the Windows way.
inline constexpr int kWindowsCodeBase = 0x10000;

int errno_from_windows(uint32_t code);

}  // namespace qz
