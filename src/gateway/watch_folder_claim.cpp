#include "gateway/watch_folder_claim.h"

#include "core/colors.h"
#include "core/files.h"
#include "core/gateway_log.h"
#include "core/paths.h"
#include "gateway/folder_claims.h"

namespace qz {

std::optional<WatchFolderClaim::Identity> WatchFolderClaim::identity_of(const std::filesystem::path& folder) {
  std::optional<FileInfo> info = target_info(folder);
  if (!info || info->kind != FileKind::kDirectory) return std::nullopt;
  return Identity{info->device, info->inode};
}

FolderLock::Claim::Outcome WatchFolderClaim::claim(const std::filesystem::path& folder, FolderHolder& holder,
                                                   SystemError& error) {
  const std::optional<Identity> identity = identity_of(folder);
  FolderLock::Claim claim = FolderLock::claim(folder);
  holder = claim.holder;
  error = claim.error;
  if (claim.outcome == FolderLock::Claim::kClaimed) lock_ = std::move(claim.lock);
  if (claim.outcome != FolderLock::Claim::kInUse) held_ = identity;
  return claim.outcome;
}

bool WatchFolderClaim::still_held(const std::filesystem::path& folder, GatewayLog& log) {
  const std::optional<Identity> now = identity_of(folder);
  if (!now || now == held_) return true;
  // Tried again at every scan, said once: the other gateway may end.
  const bool refusal_said = now == refused_;
  FolderHolder holder;
  SystemError error;
  switch (claim(folder, holder, error)) {
    case FolderLock::Claim::kClaimed:
    case FolderLock::Claim::kOurs:
      refused_.reset();
      log.Log("watch folder " + absolute_text(folder) +
                  " is another folder than at the start (renamed, or deleted and made again): locked again",
              kBlack);
      return true;
    case FolderLock::Claim::kInUse:
      if (!refusal_said) {
        log.Log(watch_in_use_text(folder, holder) + ", which got the new folder under this name first: no job is taken from it",
                kRed);
      }
      refused_ = now;
      return false;
    case FolderLock::Claim::kFailed:
      log.Log("watch folder " + absolute_text(folder) + " is another folder than at the start and cannot be locked (" +
                  error_text(error.code) + "): a second gateway on it is not kept out",
              kRed);
      return true;
  }
  return true;
}

}  // namespace qz
