// Files on Linux: one descriptor per File, opened O_CLOEXEC | O_NOCTTY, and O_NONBLOCK
// unless the caller may wait (then a FIFO's open waits for its other end).
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/files.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

int fd_of(intptr_t handle) { return static_cast<int>(handle); }

FileKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISLNK(mode)) return FileKind::kSymbolicLink;
  return FileKind::kOther;
}

FileInfo info_of(const struct stat& st) {
  FileInfo info;
  info.kind = kind_of(st.st_mode);
  info.device = static_cast<uint64_t>(st.st_dev);
  info.inode = static_cast<uint64_t>(st.st_ino);
  info.size = static_cast<int64_t>(st.st_size);
  info.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  info.permissions = static_cast<uint32_t>(st.st_mode & 07777);
  return info;
}

int open_flags(const OpenOptions& options) {
  int flags = O_CLOEXEC | O_NOCTTY;
  if (!options.may_wait) flags |= O_NONBLOCK;
  switch (options.access) {
    case OpenFor::kRead: flags |= O_RDONLY; break;
    case OpenFor::kWrite: flags |= O_WRONLY; break;
    case OpenFor::kReadWrite: flags |= O_RDWR; break;
  }
  switch (options.create) {
    case Create::kNo: break;
    case Create::kNew: flags |= O_CREAT | O_EXCL; break;
    case Create::kIfMissing: flags |= O_CREAT; break;
    case Create::kTruncate: flags |= O_CREAT | O_TRUNC; break;
  }
  if (options.append) flags |= O_APPEND;
  if (options.no_follow) flags |= O_NOFOLLOW;
  return flags;
}

}  // namespace

File File::open(const fs::path& path, const OpenOptions& options) {
  int fd;
  do {
    fd = ::open(path.c_str(), open_flags(options), static_cast<mode_t>(options.permissions));
  } while (fd < 0 && errno == EINTR);
  return File(fd);
}

bool File::close() {
  if (handle_ == -1) return true;
  int fd = fd_of(handle_);
  handle_ = -1;
  return ::close(fd) == 0;
}

std::optional<FileInfo> File::info() const {
  struct stat st {};
  if (::fstat(fd_of(handle_), &st) != 0) return std::nullopt;
  return info_of(st);
}

int64_t File::read(char* data, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd_of(handle_), data, size);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool File::read_at(int64_t offset, char* data, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_of(handle_), data + done, size - done, static_cast<off_t>(offset + int64_t(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool File::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_of(handle_), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool File::write_at(int64_t offset, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_of(handle_), bytes.data() + done, bytes.size() - done,
                         static_cast<off_t>(offset + int64_t(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool File::sync_data() { return ::fdatasync(fd_of(handle_)) == 0; }

bool File::sync() { return ::fsync(fd_of(handle_)) == 0; }

bool File::truncate(int64_t size) { return ::ftruncate(fd_of(handle_), static_cast<off_t>(size)) == 0; }

bool File::set_permissions(uint32_t permissions) {
  return ::fchmod(fd_of(handle_), static_cast<mode_t>(permissions & 07777)) == 0;
}

void File::keep_owner_of(const fs::path& like) {
  struct stat st {};
  if (::stat(like.c_str(), &st) != 0) return;
  if (st.st_uid == ::geteuid() && st.st_gid == ::getegid()) return;
  [[maybe_unused]] int owner_kept = ::fchown(fd_of(handle_), st.st_uid, st.st_gid);
}

std::optional<FileInfo> entry_info(const fs::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return info_of(st);
}

std::optional<FileInfo> target_info(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return info_of(st);
}

bool rename_no_replace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link fails on an existing name as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // Nor hard links: look, then rename. Only one gateway files into a folder.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool rename_replacing(const fs::path& from, const fs::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool remove_file(const fs::path& path) { return ::unlink(path.c_str()) == 0; }

void sync_folder(const fs::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int access_error(const fs::path& path, int wanted) {
  int mode = ((wanted & kAccessRead) ? R_OK : 0) | ((wanted & kAccessWrite) ? W_OK : 0) |
             ((wanted & kAccessEnter) ? X_OK : 0);
  return ::access(path.c_str(), mode == 0 ? F_OK : mode) == 0 ? 0 : errno;
}

std::string_view text_line_end() { return "\n"; }

}  // namespace qz
