#include "gateway/folder_claims.h"

#include "core/paths.h"
#include "core/system_error.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

std::string holder_text(const FolderHolder& holder) {
  return holder.pid > 0 ? "process " + std::to_string(holder.pid) : std::string("another process");
}

}  // namespace

std::string instance_in_use_text(const fs::path& folder, const FolderHolder& holder) {
  return "instance folder " + absolute_text(folder) + " is in use by " + holder_text(holder);
}

std::string watch_in_use_text(const fs::path& folder, const FolderHolder& holder) {
  std::string text = "watch folder " + absolute_text(folder) + " is in use by " + holder_text(holder);
  if (!holder.instance_folder.empty()) text += " (instance folder " + holder.instance_folder.string() + ")";
  return text;
}

InstanceClaim claim_instance_folder(const fs::path& folder) {
  FolderLock::Claim claim = FolderLock::claim(folder);
  InstanceClaim result;
  switch (claim.outcome) {
    case FolderLock::Claim::kClaimed:
      result.lock = std::move(claim.lock);
      break;
    case FolderLock::Claim::kOurs:
      break;
    case FolderLock::Claim::kInUse:
      result.refusal = instance_in_use_text(folder, claim.holder);
      break;
    case FolderLock::Claim::kFailed:
      // A file system without locks must not keep an alarm gateway from running.
      result.warning = "instance folder " + absolute_text(folder) + " cannot be locked (" + error_text(claim.error.code) +
                       "): a second gateway started on it is not kept out";
      break;
  }
  return result;
}

}  // namespace qz
