#include "jobs/filing.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qz {

namespace fs = std::filesystem;

namespace {

// Far more than a folder ever holds under one name; past it, filing gives up.
constexpr int kMaxNumberedNames = 10000;

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool exists_entry(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

// Renames without ever replacing `to`; false with errno EEXIST when `to` is taken.
bool rename_no_replace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link fails on an existing name as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // Nor hard links: check, then rename. Only this thread files into the folder.
  if (exists_entry(to)) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string numbered_name(const std::string& name, int n) {
  if (n == 0) return name;
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "-" + std::to_string(n);
  return name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

constexpr std::string_view kTemporarySuffix = ".part";

fs::path temporary_name_for(const fs::path& destination) {
  return destination.parent_path() / ("." + destination.filename().string() + std::string(kTemporarySuffix));
}

bool is_temporary_name(const std::string& name) {
  return name.size() > 1 + kTemporarySuffix.size() && name[0] == '.' && name.ends_with(kTemporarySuffix);
}

void sync_folder(const fs::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

FilingResult publish_file(const fs::path& folder, const std::string& name, std::string_view bytes,
                          mode_t mode, const std::function<void(const fs::path&)>& before_rename) {
  FilingResult result;
  for (int n = 0; n < kMaxNumberedNames; ++n) {
    fs::path destination = folder / numbered_name(name, n);
    result.path = destination;
    if (exists_entry(destination)) continue;

    if (before_rename) before_rename(destination);
    fs::path temp = temporary_name_for(destination);
    ::unlink(temp.c_str());  // left over from a run that ended before its rename
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      result.error = std::strerror(errno);
      return result;
    }
    bool written = ::fchmod(fd, mode & 07777) == 0 && write_all(fd, bytes) && ::fsync(fd) == 0;
    int saved = errno;
    written = (::close(fd) == 0) && written;
    if (!written) {
      result.error = std::strerror(saved);
      ::unlink(temp.c_str());
      return result;
    }
    if (rename_no_replace(temp, destination)) {
      sync_folder(folder);
      result.ok = true;
      return result;
    }
    saved = errno;
    ::unlink(temp.c_str());
    if (saved != EEXIST) {
      result.error = std::strerror(saved);
      return result;
    }
    // Taken since we looked: try the next number.
  }
  result.error = "no free name";
  return result;
}

FilingResult move_entry(const fs::path& from, const fs::path& folder, const std::string& name) {
  FilingResult result;
  for (int n = 0; n < kMaxNumberedNames; ++n) {
    result.path = folder / numbered_name(name, n);
    if (rename_no_replace(from, result.path)) {
      sync_folder(folder);
      result.ok = true;
      return result;
    }
    if (errno != EEXIST) {
      result.error = std::strerror(errno);
      return result;
    }
  }
  result.error = "no free name";
  return result;
}

Removal remove_if_unchanged(const fs::path& path, const FileIdentity& identity) {
  fs::path aside = temporary_name_for(path);
  if (!rename_no_replace(path, aside)) return errno == ENOENT ? Removal::kGone : Removal::kFailed;
  FileVersion taken = read_file_version(aside);
  if (taken.state == FileState::kRead && taken.identity == identity) {
    if (::unlink(aside.c_str()) == 0) {
      sync_folder(path.parent_path());
      return Removal::kRemoved;
    }
    move_entry(aside, path.parent_path(), path.filename().string());
    return Removal::kFailed;
  }
  move_entry(aside, path.parent_path(), path.filename().string());
  return Removal::kChanged;
}

void restore_taken_aside(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> aside;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (is_temporary_name(name)) aside.push_back(it->path());
  }
  for (const fs::path& path : aside) {
    std::string name = path.filename().string();
    std::string original = name.substr(1, name.size() - 1 - kTemporarySuffix.size());
    move_entry(path, folder, original);
  }
}

}  // namespace qz
