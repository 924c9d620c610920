// One gateway per instance folder and per watch folder. A gateway claims each folder for
// its whole life with an exclusive lock on the folder itself (not on a file in it), so the
// claim writes nothing into the folder and nothing in a watch folder can look like a job.
// The lock belongs to the folder's identity (device and inode): two spellings of one folder,
// a symbolic link to it or a bind mount meet the same lock. The kernel drops it when the
// process ends however it ends, kill -9 included, so a restart is never refused by a dead
// gateway; commands the gateway starts do not inherit it.
//
// Linux locks the folder itself (flock) and names the holder from /proc. Windows holds a
// named mutex whose name is the folder's identity, and does not say who holds it: there
// the holder is named only when it is this process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/system_error.h"

namespace qz {

// Who holds a folder: a process id (0 when the system does not say) and that process's
// current folder, which is a gateway's instance folder (empty when it cannot be read).
struct FolderHolder {
  long pid = 0;
  std::filesystem::path instance_folder;
};

// A claim on one folder, held until the object is destroyed.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

  struct Claim;
  static Claim claim(const std::filesystem::path& folder);

 private:
  explicit FolderLock(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = -1;
};

struct FolderLock::Claim {
  enum Outcome {
    kClaimed,  // `lock` holds the folder
    kOurs,     // this process holds it already (its instance folder is its watch folder)
    kInUse,    // another process holds it: `holder`
    kFailed,   // it could not be locked: `error` says why (the folder is missing, the file
               // system keeps no locks)
  };
  Outcome outcome = kFailed;
  FolderLock lock;
  FolderHolder holder;
  SystemError error;
};

// Who holds `folder` now, without claiming it (for a check while a gateway runs).
std::optional<FolderHolder> folder_holder(const std::filesystem::path& folder);

}  // namespace qz
