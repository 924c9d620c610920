// The copies the gateway filed into its own watch folder. That happens only when a done,
// error or report folder is the watch folder, which the start refuses, or becomes it
// while the gateway runs (a link changed, a folder moved): such a copy still matches the
// file mask, and read back it would be sent again, and filed, and read again, without end.
// The filing notes the copy before it appears; the reader passes over what is noted.
#pragma once

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

  // The reader's listing of the folder: a copy is forgotten once it has been listed and
  // then is gone (filed away by hand, or the folder cleaned); one not listed yet may be
  // about to appear.
  void listed(const std::vector<std::string>& names);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, bool> noted_;  // name -> seen in a listing
};

}  // namespace qz
