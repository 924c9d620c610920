// On Windows a `Port` such as "COM2" is the device \\.\COM2 (the prefix that also reaches
// COM10 and above); any other value is used as it is.
#include "modem/port_name.h"
#include "modem/serial_port_list.h"

namespace qz {

std::string device_path_for_port(std::string_view port) {
  std::optional<int> n = com_port_number(port);
  return n ? "\\\\.\\COM" + std::to_string(*n) : std::string(port);
}

std::string port_suggestion(std::string_view) {
  std::string ports;
  for (const std::string& port : list_serial_ports()) ports += (ports.empty() ? "" : ", ") + port;
  return ports.empty() ? "Windows knows no COM port on this machine" : "the COM ports of this machine: " + ports;
}

bool com_name_is_the_device_name() { return true; }

}  // namespace qz
