#include "jobs/reported_files.h"

#include <sys/stat.h>

namespace qz {

bool ReportedFiles::identity_of(const std::filesystem::path& path, Identity& out) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  int64_t mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  out = Identity{path.lexically_normal().string(), static_cast<uintmax_t>(st.st_size), mtime_ns};
  return true;
}

void ReportedFiles::remember(const std::filesystem::path& path) {
  Identity id;
  if (!identity_of(path, id)) return;
  std::lock_guard lock(mutex_);
  reported_.insert(id);
}

bool ReportedFiles::contains(const std::filesystem::path& path) const {
  Identity id;
  if (!identity_of(path, id)) return false;
  std::lock_guard lock(mutex_);
  return reported_.count(id) != 0;
}

bool ReportedFiles::first_mention(const std::filesystem::path& path) {
  Identity id;
  if (!identity_of(path, id)) return false;
  std::lock_guard lock(mutex_);
  return mentioned_.insert(id).second;
}

}  // namespace qz
