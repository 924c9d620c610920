// Job files this process has already reported. A file whose move failed after its report
// would otherwise be read as a new job at every scan and sent again and again; the job
// reader passes over it until its contents change.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

namespace qz {

class ReportedFiles {
 public:
  // Notes the file as it is now (path, size, modification time).
  void remember(const std::filesystem::path& path);
  // True when the file is unchanged since it was reported.
  bool contains(const std::filesystem::path& path) const;
  // True the first time it is asked for a reported file, so it is said only once.
  bool first_mention(const std::filesystem::path& path);

 private:
  using Identity = std::tuple<std::string, uintmax_t, int64_t>;
  static bool identity_of(const std::filesystem::path& path, Identity& out);

  mutable std::mutex mutex_;
  std::set<Identity> reported_;
  std::set<Identity> mentioned_;
};

}  // namespace qz
