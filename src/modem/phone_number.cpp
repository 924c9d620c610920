#include "modem/phone_number.h"

namespace qz {

std::string without_blanks(std::string_view number) {
  std::string result;
  for (char c : number) {
    if (c != ' ') result.push_back(c);
  }
  return result;
}

bool is_dialable(std::string_view number) {
  if (number.empty()) return false;
  for (std::size_t i = 0; i < number.size(); ++i) {
    char c = number[i];
    bool ok = (c >= '0' && c <= '9') || c == '*' || c == '#' || (c == '+' && i == 0);
    if (!ok) return false;
  }
  return true;
}

}  // namespace qz
