#include <algorithm>

#include "jobs/folder_watch.h"

namespace qz {

std::vector<std::string> list_matching_files(const std::filesystem::path& folder,
                                             const std::string& mask) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->symlink_status(type_ec).type() == std::filesystem::file_type::directory) continue;
    // UTF-8 on both platforms: Linux names are bytes as they are, Windows names UTF-16.
    const std::u8string utf8 = it->path().filename().u8string();
    std::string name(utf8.begin(), utf8.end());
    if (file_name_matches(mask, name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qz
