// The copies the gateway filed into its own watch folder. That happens only when a done,
// error or report folder is the watch folder, which the start refuses, or becomes it
// while the gateway runs (a link changed, a folder moved): such a copy still matches the
// file mask, and read back it would be sent again, and filed, and read again, without end.
// The filing notes the copy before it appears; the reader passes over what is noted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qz {

class FiledCopies {
 public:
  // `destination` is about to appear: noted when its folder is `watch_folder`.
  void note(const std::filesystem::path& destination, const std::filesystem::path& watch_folder);
  bool contains(const std::string& name) const;

  // For the reader's listing: call before listing, then forget_missing(listed, mark), so
  // that a copy noted while the folder was being listed is not forgotten.
  uint64_t mark() const;
  // Forgets the copies noted before `mark` that are no longer in the listing `listed`.
  void forget_missing(const std::vector<std::string>& listed, uint64_t mark);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, uint64_t> noted_;  // name -> when it was noted (a count)
  uint64_t count_ = 0;
};

}  // namespace qz
