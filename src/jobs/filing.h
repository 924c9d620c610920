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

// The hidden name a file has while it is being filed: a copy being written under it
// before it is renamed to `destination`, or a job file taken aside to be removed.
std::filesystem::path temporary_name_for(const std::filesystem::path& destination);
bool is_temporary_name(const std::string& name);

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

// Removes `path` only while it is still the version `identity`: a file rewritten or
// replaced in the meantime is a new job and stays (kChanged). The file is first taken
// aside under its temporary name, so a new file dropped under the same name at that
// moment is never the one removed. kFailed when it could not be removed.
Removal remove_if_unchanged(const std::filesystem::path& path, const FileIdentity& identity);

// Puts back every file a stop left taken aside in `folder`, under its own name (or a free
// numbered one): whatever it holds is read again like any job file.
void restore_taken_aside(const std::filesystem::path& folder);

// Makes a change of the folder's entries durable.
void sync_folder(const std::filesystem::path& folder);

}  // namespace qz
