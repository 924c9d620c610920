// Wakes the job reader when a file in the watch folder was written (closed after writing
// or moved in). The reader rescans on time-out as well, so a lost wake-up costs at most
// one WatchTimeout.
//
// Linux (inotify) wakes once a file is closed after writing or moved in; Windows (a change
// notification) wakes while a file is still being written, so there the reader's pause
// before it reads a new file is what gives the writer time to finish.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qz {

class FolderWatch {
 public:
  explicit FolderWatch(const std::filesystem::path& folder);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // False when the folder cannot be watched; waits then last their whole time-out.
  bool active() const;
  // Waits up to `ms` gateway milliseconds for a change; true when one came. A wake()
  // ends it at once (false).
  bool wait(int64_t ms);
  // Ends the wait in progress, or the next one, at once. Safe from any thread.
  void wake();

 private:
  // A descriptor on Linux, a HANDLE on Windows; -1 when there is none.
  intptr_t watch_ = -1;
  intptr_t wake_ = -1;
};

// The names of the entries of `folder` other than folders that match the Windows-style
// `mask` ("*.sms"), without regard to case, sorted by name. Symbolic links and other
// special files are listed as they are (not followed), so the reader can file them away.
std::vector<std::string> list_matching_files(const std::filesystem::path& folder,
                                             const std::string& mask);

// Whether the file name `name` (UTF-8) matches `mask`, * and ? without regard to case.
bool file_name_matches(const std::string& mask, const std::string& name);

}  // namespace qz
