#include "ui/mode_fields.h"

namespace qz::ui {
namespace {

bool IsFieldCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

ModeFields SplitMode(std::string_view mode) {
  ModeFields fields;
  std::size_t at = 0;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) {
      if (at >= mode.size() || mode[at] != ',') return {};
      ++at;
    }
    const std::size_t start = at;
    while (at < mode.size() && IsFieldCharacter(mode[at])) ++at;
    if (at == start) return {};
    fields[k] = std::string(mode.substr(start, at - start));
  }
  return fields;
}

std::string JoinMode(const ModeFields& fields) {
  return fields[0] + ',' + fields[1] + ',' + fields[2] + ',' + fields[3];
}

}  // namespace qz::ui
