// Moving a job file out of the watch folder.
#pragma once

#include <filesystem>

namespace qz {

// Deletes any file at `to`, then renames `from` to it; across file systems, copies and
// deletes instead. True when `from` is gone and `to` holds its contents.
bool move_job_file(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qz
