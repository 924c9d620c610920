// Win32 error codes in the errno terms the layers above speak (they print a code's text
// and pick their advice by it, e.g. EBUSY for a port in use).
#pragma once

#include <cstdint>

namespace qz {

int errno_from_windows(uint32_t code);

}  // namespace qz
