// The serial devices of this machine, offered in the settings sheet's port list after
// COM1 to COM8.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qz::ui {

// Device paths as the `Port` setting takes them ("/dev/ttyUSB0"), found under `root` ("/"
// on a running system, a folder of its own in a test), in this order: the on-board ports
// /dev/ttyS*, USB serial adapters /dev/ttyUSB*, USB modems /dev/ttyACM*, then the stable
// names in /dev/serial/by-id. Within a group, ttyS2 comes before ttyS10. An on-board port
// that the kernel reports without a UART behind it (/sys/class/tty/ttySN/type is 0) is left
// out: the kernel makes these nodes whether or not the hardware is there. Nothing is opened.
std::vector<std::string> ListSerialPorts(const std::filesystem::path& root = "/");

}  // namespace qz::ui
