#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/file_owners.h"

namespace qz {

namespace {

// The buffers getpwuid_r and getgrgid_r fill; a group with many members needs more.
constexpr std::size_t kNameBuffer = 64 * 1024;

std::string user_name(uid_t uid) {
  std::vector<char> buffer(kNameBuffer);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->pw_name;
  return std::to_string(uid);
}

std::string group_name(gid_t gid) {
  std::vector<char> buffer(kNameBuffer);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->gr_name;
  return std::to_string(gid);
}

}  // namespace

std::optional<FileOwners> file_owners(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileOwners{user_name(st.st_uid), group_name(st.st_gid)};
}

}  // namespace qz
