// Dropping a job file into the watch folder from outside the alarm application, as the
// gateway wants it (see job-files.md, "Dropping a job file"): written whole, flushed and
// closed under a hidden temporary name that the job reader passes over (and that a
// gateway's start clears away should the writer die), then renamed within the folder to a
// free name that matches FileMask. The rename never replaces a file, so a job waiting in
// the folder is never lost to a new one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "jobs/file_version.h"

namespace qz {

// A name that matches `mask` (the FileMask setting): `unique` stands in the place of its
// first '*', other '*' stand for nothing, each '?' for one character of `unique` (from its
// end), a bracket expression for a character it takes. nullopt when no such name matches
// the mask, or the name could not hold a job (a folder part, a name of the gateway's own).
std::optional<std::string> job_name_for_mask(const std::string& mask, const std::string& unique);

// A text that no other drop shares: "send-", the time (seconds since 1970 in hexadecimal,
// so names sort by their time), the process id and random hexadecimal digits.
std::string unique_job_text();

struct DroppedJob {
  bool ok = false;
  std::filesystem::path path;  // the job file, once it is in the folder
  FileIdentity identity;       // as the gateway will see it: its journal names it so
  int error = 0;               // why not (errno); 0 with `problem` for a mask without a name
  std::string problem;         // why not, in words
};

DroppedJob drop_job_file(const std::filesystem::path& watch, const std::string& mask, std::string_view bytes);

}  // namespace qz
