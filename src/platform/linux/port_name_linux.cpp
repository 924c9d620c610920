#include "modem/port_name.h"

namespace qz {

std::string device_path_for_port(std::string_view port) {
  std::optional<int> n = com_port_number(port);
  return n ? "/dev/ttyS" + std::to_string(*n - 1) : std::string(port);
}

}  // namespace qz
