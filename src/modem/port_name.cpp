#include "modem/port_name.h"

#include "core/text.h"

namespace qz {

std::optional<int> com_port_number(std::string_view port) {
  std::string_view s = port;
  if (s.substr(0, 4) == "\\\\.\\") s.remove_prefix(4);
  if (!s.empty() && s.back() == ':') s.remove_suffix(1);

  if (s.size() < 4 || s.size() > 6 || !starts_with_nocase(s, "COM")) {
    return std::nullopt;
  }
  std::string_view digits = s.substr(3);
  if (digits.front() == '0') return std::nullopt;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 256) return std::nullopt;
  return n;
}

}  // namespace qz
