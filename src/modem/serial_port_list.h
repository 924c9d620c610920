// The serial ports of this machine, offered in the settings sheet's port list after COM1
// to COM8, named as the `Port` setting takes them: device paths on Linux ("/dev/ttyUSB0"),
// COM port names on Windows ("COM3"). Nothing is opened.
#pragma once

#include <string>
#include <vector>

namespace qz {

std::vector<std::string> list_serial_ports();

}  // namespace qz
