// Line rates outside the fixed termios set (B9600, B115200 …) go through the kernel's
// termios2 interface. Its header clashes with <termios.h>, so it lives in a translation
// unit of its own and is reached through these three functions.
#pragma once

#include <cstdint>
#include <optional>

namespace qz::serial_rate {

// True when this build can ask the kernel for any rate.
bool any_rate_supported();

// Sets input and output rate of the line on `fd` to `rate` bit/s, leaving every other line
// setting as it is; false (errno set) when the kernel refuses or the build cannot ask.
bool set_any_rate(int fd, uint32_t rate);

// The output rate in bit/s that the kernel holds for the line; nullopt when unknown.
std::optional<uint32_t> current_rate(int fd);

}  // namespace qz::serial_rate
