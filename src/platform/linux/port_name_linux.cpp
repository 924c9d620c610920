#include "modem/port_name.h"

namespace qz {

std::string device_path_for_port(std::string_view port) {
  std::optional<int> n = com_port_number(port);
  return n ? "/dev/ttyS" + std::to_string(*n - 1) : std::string(port);
}

std::string port_suggestion(std::string_view port) {
  // "ttyUSB0" is a file of the instance folder; the device was meant.
  if (port.empty() || port.find('/') != std::string_view::npos || com_port_number(port)) return {};
  return "did you mean /dev/" + std::string(port) + "?";
}

bool com_name_is_the_device_name() { return false; }

}  // namespace qz
