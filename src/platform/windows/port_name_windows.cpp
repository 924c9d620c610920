// On Windows a `Port` such as "COM2" is the device \\.\COM2 (the prefix that also reaches
// COM10 and above); any other value is used as it is.
#include <cctype>

#include "modem/port_name.h"

namespace qz {

std::string device_path_for_port(std::string_view port) {
  std::string_view s = port;
  if (s.substr(0, 4) == "\\\\.\\") s.remove_prefix(4);
  if (!s.empty() && s.back() == ':') s.remove_suffix(1);

  auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  if (s.size() < 4 || s.size() > 6 || upper(s[0]) != 'C' || upper(s[1]) != 'O' || upper(s[2]) != 'M') {
    return std::string(port);
  }
  std::string_view digits = s.substr(3);
  if (digits.front() == '0') return std::string(port);
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::string(port);
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 256) return std::string(port);
  return "\\\\.\\COM" + std::to_string(n);
}

}  // namespace qz
