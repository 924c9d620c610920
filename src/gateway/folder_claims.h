// What a gateway says about the folders it claims (see folder_lock.h): the instance folder,
// claimed by each program before anything in it is read or written, and the watch folder,
// claimed once the settings name it and before the modem's port is opened.
#pragma once

#include <filesystem>
#include <string>

#include "gateway/folder_lock.h"

namespace qz {

// "instance folder /srv/a is in use by process 4242"
std::string instance_in_use_text(const std::filesystem::path& folder, const FolderHolder& holder);

// "watch folder /srv/jobs is in use by process 4242 (instance folder /srv/b)"
std::string watch_in_use_text(const std::filesystem::path& folder, const FolderHolder& holder);

struct InstanceClaim {
  FolderLock lock;
  // Why this gateway must not start (another one runs on the folder); empty when it may.
  std::string refusal;
  // Why the claim could not be made although nobody holds the folder; the gateway starts.
  std::string warning;
};

InstanceClaim claim_instance_folder(const std::filesystem::path& folder);

}  // namespace qz
