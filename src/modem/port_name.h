// The `Port` setting names the modem's serial device. Settings written for the original
// platform say "COM2"; on Linux that is the second on-board UART, /dev/ttyS1, and on
// Windows the device \\.\COM2. Which COMn a name means is decided here for both.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qz {

// The n of a "COMn" port name, 1 … 256 (any case, also written "\\.\COMn" or with a
// trailing colon); nothing for any other name, a leading zero or a number out of range.
std::optional<int> com_port_number(std::string_view port);

// "COM1" … "COM256" (any case, also written "\\.\COMn" or with a trailing colon) name
// /dev/ttyS0 … /dev/ttyS255. Anything else is a device path and is used as it is, so
// /dev/ttyUSB0 and /dev/serial/by-id/… work directly. A number out of range or with a
// leading zero is not a COM name and so stays a path, which the open then fails to find.
std::string device_path_for_port(std::string_view port);

// What to say of a `Port` that names no serial device, in the system's own terms: on Linux,
// for a bare name such as "ttyUSB0", "did you mean /dev/ttyUSB0?"; on Windows the COM
// ports the machine has. Empty when there is nothing to suggest.
std::string port_suggestion(std::string_view port);

// True where a COMn name is the system's own name of the port (Windows), so that a line
// names it alone; on Linux "COM1" is shown with its device, /dev/ttyS0.
bool com_name_is_the_device_name();

}  // namespace qz
