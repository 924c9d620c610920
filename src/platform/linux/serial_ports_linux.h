// The Linux serial-port list, below a root folder of its own for the tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qz {

// Device paths found under `root` ("/" on a running system), in this order: the on-board
// ports /dev/ttyS*, USB serial adapters /dev/ttyUSB*, USB modems /dev/ttyACM*, then the
// stable names in /dev/serial/by-id. Within a group, ttyS2 comes before ttyS10. An on-board
// port that the kernel reports without a UART behind it (/sys/class/tty/ttySN/type is 0) is
// left out: the kernel makes these nodes whether or not the hardware is there.
std::vector<std::string> list_serial_ports_under(const std::filesystem::path& root);

}  // namespace qz
