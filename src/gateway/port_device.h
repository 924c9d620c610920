// What the device a Port names is, for the check of the settings. Linux never opens it:
// the kernel's list of tty drivers tells a serial line by the device's numbers, and opening
// a modem's port can drop or raise its lines. Windows tells a serial line only to a program
// that opens it: it asks whether a DOS device of the \\.\COMn name exists and, where
// `may_open`, opens it for a moment as the gateway would (a port another program holds is
// "in use") and asks for its line settings. A check while the instance's own gateway runs
// passes `may_open` false.
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
PortDevice look_at_port_device(const std::filesystem::path& device, bool may_open);

}  // namespace qz
