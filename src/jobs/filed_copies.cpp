#include "jobs/filed_copies.h"

#include <algorithm>

#include "core/files.h"

namespace qz {

void FiledCopies::note(const std::filesystem::path& destination, const std::filesystem::path& watch_folder) {
  if (!same_file(destination.parent_path(), watch_folder)) return;
  // UTF-8, as the reader's listing names it.
  const std::u8string utf8 = destination.filename().u8string();
  std::lock_guard lock(mutex_);
  noted_[std::string(utf8.begin(), utf8.end())] = false;
}

bool FiledCopies::contains(const std::string& name) const {
  std::lock_guard lock(mutex_);
  return noted_.count(name) > 0;
}

void FiledCopies::listed(const std::vector<std::string>& names) {
  std::lock_guard lock(mutex_);
  for (auto it = noted_.begin(); it != noted_.end();) {
    const bool there = std::find(names.begin(), names.end(), it->first) != names.end();
    if (!there && it->second) {
      it = noted_.erase(it);
      continue;
    }
    it->second = it->second || there;
    ++it;
  }
}

}  // namespace qz
