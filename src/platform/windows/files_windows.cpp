// Files on Windows. Every handle shares reading, writing and deleting, so the alarm
// application may go on writing a job file or a table while the gateway reads it, and may
// rename or remove it; handles are never inheritable. A symbolic link, a junction or any
// other reparse point is opened as itself (FILE_FLAG_OPEN_REPARSE_POINT) and refused where
// the caller asks not to follow links.
#include <windows.h>

#include <cerrno>
#include <mutex>
#include <set>

#include "core/files.h"
#include "platform/windows/windows_error.h"

namespace qz {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// 100-nanosecond steps from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool fail_with_last_error() {
  errno = errno_from_windows(GetLastError());
  return false;
}

int64_t nanoseconds_since_1970(const FILETIME& t) {
  int64_t ticks = (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return (ticks - kUnixEpochInFileTime) * 100;
}

FileInfo info_of(const BY_HANDLE_FILE_INFORMATION& i) {
  FileInfo info;
  if (i.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) info.kind = FileKind::kSymbolicLink;
  else if (i.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) info.kind = FileKind::kDirectory;
  else info.kind = FileKind::kRegular;
  info.device = i.dwVolumeSerialNumber;
  info.inode = (static_cast<uint64_t>(i.nFileIndexHigh) << 32) | i.nFileIndexLow;
  info.size = (static_cast<int64_t>(i.nFileSizeHigh) << 32) | i.nFileSizeLow;
  info.mtime_ns = nanoseconds_since_1970(i.ftLastWriteTime);
  return info;
}

bool is_reparse_point(HANDLE h) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Handles opened for appending. A write through one of them takes an exclusive lock on a
// byte far beyond any end, goes to the end and writes there, so two appending writers (two
// threads writing a line of the daily log each) never land at the same place: Windows keeps
// append-only handles apart on its own, but Wine does not.
std::mutex appenders_mutex;
std::set<intptr_t> appenders;

bool is_appender(intptr_t handle) {
  std::lock_guard lock(appenders_mutex);
  return appenders.count(handle) > 0;
}

bool append(HANDLE h, std::string_view bytes) {
  OVERLAPPED lock_at{};
  lock_at.Offset = 0xFFFFFFFE;
  lock_at.OffsetHigh = 0x7FFFFFFF;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock_at)) return fail_with_last_error();
  bool written = SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_END);
  while (written && !bytes.empty()) {
    DWORD done = 0;
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x40000000));
    written = WriteFile(h, bytes.data(), wanted, &done, nullptr);
    bytes.remove_prefix(done);
  }
  if (!written) fail_with_last_error();
  UnlockFileEx(h, 0, 1, 0, &lock_at);
  return written;
}

// The file position, for the positional calls that must leave it as it was.
class KeepPosition {
 public:
  explicit KeepPosition(HANDLE h) : h_(h) { SetFilePointerEx(h_, LARGE_INTEGER{}, &at_, FILE_CURRENT); }
  ~KeepPosition() { SetFilePointerEx(h_, at_, nullptr, FILE_BEGIN); }

 private:
  HANDLE h_;
  LARGE_INTEGER at_{};
};

OVERLAPPED at_offset(int64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

}  // namespace

File File::open(const std::filesystem::path& path, const OpenOptions& options) {
  DWORD access = 0;
  if (options.access != OpenFor::kWrite) access |= GENERIC_READ;
  if (options.access != OpenFor::kRead) access |= GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (options.create) {
    case Create::kNo: disposition = OPEN_EXISTING; break;
    case Create::kNew: disposition = CREATE_NEW; break;
    case Create::kIfMissing: disposition = OPEN_ALWAYS; break;
    case Create::kTruncate: disposition = CREATE_ALWAYS; break;
  }
  DWORD flags = FILE_ATTRIBUTE_NORMAL | (options.no_follow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE h = CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    fail_with_last_error();
    return File();
  }
  if (options.no_follow && is_reparse_point(h)) {
    CloseHandle(h);
    errno = ELOOP;
    return File();
  }
  if (options.append && options.access != OpenFor::kRead) {
    std::lock_guard lock(appenders_mutex);
    appenders.insert(reinterpret_cast<intptr_t>(h));
  }
  return File(reinterpret_cast<intptr_t>(h));
}

bool File::close() {
  if (handle_ == -1) return true;
  {
    std::lock_guard lock(appenders_mutex);
    appenders.erase(handle_);
  }
  bool closed = CloseHandle(handle_of(handle_));
  handle_ = -1;
  return closed || fail_with_last_error();
}

std::optional<FileInfo> File::info() const {
  BY_HANDLE_FILE_INFORMATION i{};
  if (!GetFileInformationByHandle(handle_of(handle_), &i)) {
    fail_with_last_error();
    return std::nullopt;
  }
  return info_of(i);
}

int64_t File::read(char* data, std::size_t size) {
  DWORD got = 0;
  DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
  if (!ReadFile(handle_of(handle_), data, wanted, &got, nullptr)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    fail_with_last_error();
    return -1;
  }
  return got;
}

bool File::read_at(int64_t offset, char* data, std::size_t size) const {
  KeepPosition keep(handle_of(handle_));
  while (size > 0) {
    OVERLAPPED o = at_offset(offset);
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
    if (!ReadFile(handle_of(handle_), data, wanted, &got, &o)) {
      if (GetLastError() == ERROR_HANDLE_EOF) got = 0;
      else return fail_with_last_error();
    }
    if (got == 0) {
      errno = EIO;  // the file ends first
      return false;
    }
    offset += got;
    data += got;
    size -= got;
  }
  return true;
}

bool File::write(std::string_view bytes) {
  if (is_appender(handle_)) return append(handle_of(handle_), bytes);
  while (!bytes.empty()) {
    DWORD done = 0;
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x40000000));
    if (!WriteFile(handle_of(handle_), bytes.data(), wanted, &done, nullptr)) return fail_with_last_error();
    bytes.remove_prefix(done);
  }
  return true;
}

bool File::write_at(int64_t offset, std::string_view bytes) {
  KeepPosition keep(handle_of(handle_));
  while (!bytes.empty()) {
    OVERLAPPED o = at_offset(offset);
    DWORD done = 0;
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x40000000));
    if (!WriteFile(handle_of(handle_), bytes.data(), wanted, &done, &o)) return fail_with_last_error();
    offset += done;
    bytes.remove_prefix(done);
  }
  return true;
}

bool File::sync_data() { return FlushFileBuffers(handle_of(handle_)) || fail_with_last_error(); }

bool File::sync() { return sync_data(); }

bool File::truncate(int64_t size) {
  KeepPosition keep(handle_of(handle_));
  LARGE_INTEGER at{};
  at.QuadPart = size;
  return (SetFilePointerEx(handle_of(handle_), at, nullptr, FILE_BEGIN) && SetEndOfFile(handle_of(handle_))) ||
         fail_with_last_error();
}

bool File::set_permissions(uint32_t) { return true; }

void File::keep_owner_of(const std::filesystem::path&) {}

namespace {

// FILE_FLAG_OPEN_REPARSE_POINT in `flags` describes a link itself; without it the system
// follows a link to what it names.
std::optional<FileInfo> info_at(const std::filesystem::path& path, DWORD flags) {
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    fail_with_last_error();
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION i{};
  bool known = GetFileInformationByHandle(h, &i);
  if (!known) fail_with_last_error();
  CloseHandle(h);
  if (!known) return std::nullopt;
  return info_of(i);
}

}  // namespace

std::optional<FileInfo> entry_info(const std::filesystem::path& path) {
  return info_at(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

std::optional<FileInfo> target_info(const std::filesystem::path& path) { return info_at(path, 0); }

// MoveFileExW without MOVEFILE_REPLACE_EXISTING refuses an existing target in one step.
bool rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), 0)) return true;
  DWORD code = GetLastError();
  errno = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? EEXIST : errno_from_windows(code);
  return false;
}

bool rename_replacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         fail_with_last_error();
}

bool remove_file(const std::filesystem::path& path) {
  if (DeleteFileW(path.c_str())) return true;
  // A link to a folder is a folder entry to Windows.
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) && RemoveDirectoryW(path.c_str())) {
    return true;
  }
  return fail_with_last_error();
}

// NTFS journals its folder entries itself.
void sync_folder(const std::filesystem::path&) {}

int access_error(const std::filesystem::path& path, int wanted) {
  DWORD attributes = GetFileAttributesW(path.empty() ? L"." : path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return errno_from_windows(GetLastError());
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // The read-only attribute keeps a file from being written; on a folder Windows ignores it.
  if ((wanted & kAccessWrite) && !folder && (attributes & FILE_ATTRIBUTE_READONLY)) return EACCES;
  // Anything else the system's access lists deny shows when the gateway opens the path.
  if (wanted & (kAccessRead | kAccessWrite)) {
    DWORD access = ((wanted & kAccessRead) ? GENERIC_READ : 0) | ((wanted & kAccessWrite) && !folder ? GENERIC_WRITE : 0);
    if (access != 0) {
      HANDLE h = CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (h == INVALID_HANDLE_VALUE) return errno_from_windows(GetLastError());
      CloseHandle(h);
    }
  }
  return 0;
}

std::string_view text_line_end() { return "\r\n"; }

}  // namespace qz
