// Filing job files into the done and error folders. A filed file never replaces another
// one: when the name is taken, "-1", "-2", ... is added before the extension. A filed
// file appears whole, with its note already in it: it is written under a hidden
// temporary name, synced, then renamed into place. Any name a folder can hold can be
// filed: a name too long for the file system once it has its prefix and number loses
// the end of its stem, never its extension.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "jobs/file_version.h"

namespace qz {

struct FilingResult {
  bool ok = false;
  std::filesystem::path path;  // where the file is now (ok) or was meant to go
  std::string error;           // why not (the system's reason)
  bool shortened = false;      // the name was too long and was shortened
};

// The longest name a file system takes (NAME_MAX on Linux file systems).
inline constexpr std::size_t kLongestFileName = 255;

// "name" for n = 0, else "stem-n.ext" ("r.sms" -> "r-2.sms").
std::string numbered_name(const std::string& name, int n);

// `name` if it is at most `longest` bytes long, else its stem cut (on a character
// boundary) and followed by "~" and a hash of the whole name, then its extension.
std::string shortened_name(const std::string& name, std::size_t longest);

// The hidden name a job file has while it is taken aside to be removed: ".qzgsms-aside-"
// and its name (shortened to fit), so it can be put back under that name.
std::filesystem::path taken_aside_name_for(const std::filesystem::path& job_file);
bool is_taken_aside_name(const std::string& name);

// Writes `bytes` into a new file `folder`/`name` (or the first free numbered name;
// shortened first if it would not fit with its number) with
// permission bits `permissions` (where files have them). `before_rename` is called with the final path just before
// the file becomes visible there, so a journal can note where it is going.
FilingResult publish_file(const std::filesystem::path& folder, const std::string& name,
                          std::string_view bytes, uint32_t permissions,
                          const std::function<void(const std::filesystem::path&)>& before_rename = {});

// Moves the directory entry `from` itself (a symbolic link is moved, not followed) into
// `folder` under `name` or the first free numbered name (shortened like publish_file's).
// Only within one file system.
FilingResult move_entry(const std::filesystem::path& from, const std::filesystem::path& folder,
                        const std::string& name);

enum class Removal { kRemoved, kGone, kChanged, kFailed };

// Removes `path` only while it is still the version `identity`: a file rewritten or
// replaced in the meantime is a new job and stays (kChanged). The file is first taken
// aside under its temporary name, so a new file dropped under the same name at that
// moment is never the one removed. kFailed when it could not be removed.
Removal remove_if_unchanged(const std::filesystem::path& path, const FileIdentity& identity);

// Removes the job file taken aside as `aside` (once its filing is complete). kFailed when
// it stays.
Removal remove_taken_aside(const std::filesystem::path& aside);

// Puts back every file an end of the gateway left taken aside in `folder`, under its own
// name (or a free numbered one): whatever it holds is read again like any job file, and a
// job the journal holds is matched to it by identity, not by name. Start-up calls it after
// the journal has removed those whose filing was complete. Returns where they are now.
std::vector<std::filesystem::path> restore_taken_aside(const std::filesystem::path& folder);

// Removes the temporaries (core/files.h) an end of the gateway left in `folder` (a filed
// copy cut short, a rewrite of the journal, the status or a profile cut short); returns
// how many. None of them is ever a job's only copy:
// a job file leaves the watch folder only once its copy has its final name.
int remove_leftover_temporaries(const std::filesystem::path& folder);

// The lines about a filing: "could not move <from> to <destination> (<reason>)", and the
// note on a filed name that differs from the one wanted (empty when it does not).
std::string could_not_move_line(const std::filesystem::path& from, const FilingResult& filed);
std::string filed_name_note(const std::string& wanted, const FilingResult& filed);

}  // namespace qz
