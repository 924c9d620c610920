#include "jobs/file_move.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace qz {

bool move_job_file(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code ec;
  std::filesystem::remove(to, ec);
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  // Another file system: the copy must be complete before the original goes.
  if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec)) {
    std::filesystem::remove(to, ec);
    return false;
  }
  if (!std::filesystem::remove(from, ec)) {
    std::filesystem::remove(to, ec);
    return false;
  }
  return true;
}

}  // namespace qz
