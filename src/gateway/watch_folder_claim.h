// The watch folder, held for the gateway's life so that no second gateway sends its jobs
// again (folder_lock.h). The lock is on the folder itself, not on its name: a folder
// renamed, or deleted and made again, while the gateway runs leaves a new folder under the
// name, unclaimed. The reader asks before each scan; a new folder is claimed in turn, and
// one that another gateway got first is left to it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "core/system_error.h"
#include "gateway/folder_lock.h"

namespace qz {

class GatewayLog;

class WatchFolderClaim {
 public:
  // Claims the folder `folder` names now. kInUse and kFailed as FolderLock::claim says;
  // on kInUse nothing is held.
  FolderLock::Claim::Outcome claim(const std::filesystem::path& folder, FolderHolder& holder, SystemError& error);

  // Whether this gateway holds the folder `folder` names now, claiming it first when it
  // is another one than the claimed folder. A missing folder counts as held (nothing is
  // read from it). Each change is said once in `log`. For one thread at a time.
  bool still_held(const std::filesystem::path& folder, GatewayLog& log);

 private:
  using Identity = std::pair<uint64_t, uint64_t>;
  static std::optional<Identity> identity_of(const std::filesystem::path& folder);

  FolderLock lock_;
  std::optional<Identity> held_;     // the folder claimed (or ours, or not lockable)
  std::optional<Identity> refused_;  // a folder another gateway holds, said once
};

}  // namespace qz
