// Filing job files into the done and error folders. A filed file never replaces another
// one: when the name is taken, "-1", "-2", ... is added before the extension. A filed
// file appears whole, with its note already in it: it is written under a hidden
// temporary name, synced, then renamed into place.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "jobs/file_version.h"

namespace qz {

struct FilingResult {
  bool ok = false;
  std::filesystem::path path;  // where the file is now (ok) or was meant to go
  std::string error;           // why not (the system's reason)
};

// "name" for n = 0, else "stem-n.ext" ("r.sms" -> "r-2.sms").
std::string numbered_name(const std::string& name, int n);

// The temporary name a file is written under before it is renamed to `destination`.
std::filesystem::path temporary_name_for(const std::filesystem::path& destination);

// Writes `bytes` into a new file `folder`/`name` (or the first free numbered name) with
// permission bits `mode`. `before_rename` is called with the final path just before
// the file becomes visible there, so a journal can note where it is going.
FilingResult publish_file(const std::filesystem::path& folder, const std::string& name,
                          std::string_view bytes, mode_t mode,
                          const std::function<void(const std::filesystem::path&)>& before_rename = {});

// Moves the directory entry `from` itself (a symbolic link is moved, not followed) into
// `folder` under `name` or the first free numbered name. Only within one file system.
FilingResult move_entry(const std::filesystem::path& from, const std::filesystem::path& folder,
                        const std::string& name);

enum class Removal { kRemoved, kGone, kChanged, kFailed };

// Removes `path` only while it is still the version `identity`: a file rewritten in the
// meantime is a new job and stays (kChanged). kFailed when it could not be removed.
Removal remove_if_unchanged(const std::filesystem::path& path, const FileIdentity& identity);

// Makes a change of the folder's entries durable.
void sync_folder(const std::filesystem::path& folder);

}  // namespace qz
