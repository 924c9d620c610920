#include "jobs/filed_copies.h"

#include <algorithm>

#include "core/files.h"

namespace qz {

void FiledCopies::note(const std::filesystem::path& destination, const std::filesystem::path& watch_folder) {
  if (!same_file(destination.parent_path(), watch_folder)) return;
  // UTF-8, as the reader's listing names it.
  const std::u8string utf8 = destination.filename().u8string();
  std::lock_guard lock(mutex_);
  noted_[std::string(utf8.begin(), utf8.end())] = ++count_;
}

bool FiledCopies::contains(const std::string& name) const {
  std::lock_guard lock(mutex_);
  return noted_.count(name) > 0;
}

uint64_t FiledCopies::mark() const {
  std::lock_guard lock(mutex_);
  return count_;
}

void FiledCopies::forget_missing(const std::vector<std::string>& listed, uint64_t mark) {
  std::lock_guard lock(mutex_);
  for (auto it = noted_.begin(); it != noted_.end();) {
    const bool gone = it->second <= mark && std::find(listed.begin(), listed.end(), it->first) == listed.end();
    it = gone ? noted_.erase(it) : std::next(it);
  }
}

}  // namespace qz
