// On Windows a `Port` such as "COM2" is the device \\.\COM2 (the prefix that also reaches
// COM10 and above); any other value is used as it is.
#include "modem/port_name.h"

namespace qz {

std::string device_path_for_port(std::string_view port) {
  std::optional<int> n = com_port_number(port);
  return n ? "\\\\.\\COM" + std::to_string(*n) : std::string(port);
}

}  // namespace qz
