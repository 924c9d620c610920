// What the device a Port names is, found without opening it: a check must not open the
// port a running gateway uses, and opening a modem's port can drop or raise its lines.
// Linux asks the kernel's list of tty drivers for the device's numbers; Windows asks
// whether a DOS device of a \\.\COMn name exists.
#pragma once

#include <filesystem>

namespace qz {

struct PortDevice {
  int error = 0;        // the errno an open would fail with (missing, not allowed); 0 when none
                        // or when the device is not serial anyway
  bool serial = false;  // a terminal device: a serial line, a USB modem, a pseudo-terminal
};

// Looks at `device` (followed through symbolic links, as an open would). A character
// device whose kind the system does not tell counts as serial.
PortDevice look_at_port_device(const std::filesystem::path& device);

}  // namespace qz
