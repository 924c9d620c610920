#include "core/system_error.h"

#include <cerrno>

namespace qz {

SystemError last_system_error(std::filesystem::path path) { return {errno, std::move(path)}; }

std::string error_line(const SystemError& error) {
  if (error.path.empty()) return error_text(error.code);
  return error.path.string() + ": " + error_text(error.code);
}

}  // namespace qz
