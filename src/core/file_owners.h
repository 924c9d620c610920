// Who owns a file, by name: what a program tells a user who may not use a folder ("members
// of the group qzgsms may"). Only Linux has such owners; Windows' access lists name no
// single group, so there the answer is none.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qz {

struct FileOwners {
  std::string user;   // the owner's name, or its number when it has none
  std::string group;  // likewise for the group
};

// The owners of `path` (a symbolic link is followed); nullopt where files have none or
// the path cannot be looked at.
std::optional<FileOwners> file_owners(const std::filesystem::path& path);

}  // namespace qz
