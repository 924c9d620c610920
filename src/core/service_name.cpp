#include "core/service_host.h"

namespace qz {

std::string service_name_problem(const std::string& name) {
  constexpr std::size_t kLongest = 40;
  if (name.empty()) return "the service needs a name";
  if (name.size() > kLongest) return "a service name has at most " + std::to_string(kLongest) + " characters";
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.';
    if (!ok) return "a service name holds only letters, digits, '-', '_' and '.': '" + name + "'";
  }
  return {};
}

}  // namespace qz
