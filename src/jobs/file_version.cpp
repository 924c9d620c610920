#include "jobs/file_version.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "core/files.h"

namespace qz {

namespace {

// Never through a symbolic link, and a FIFO put in a job file's place cannot block us.
constexpr OpenOptions kReadNoFollow{.no_follow = true};

}  // namespace

uint64_t content_hash(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::string FileIdentity::key() const {
  char text[128];
  std::snprintf(text, sizeof text, "%" PRIx64 ":%" PRIx64 ":%" PRIx64 ":%" PRIx64 ":%016" PRIx64,
                device, inode, static_cast<uint64_t>(size), static_cast<uint64_t>(mtime_ns),
                content_hash);
  return text;
}

std::optional<FileIdentity> FileIdentity::from_key(std::string_view key) {
  uint64_t parts[5];
  for (int n = 0; n < 5; ++n) {
    std::size_t end = key.find(':');
    if ((end == std::string_view::npos) != (n == 4)) return std::nullopt;
    std::string_view word = key.substr(0, end);
    if (word.empty() || word.size() > 16) return std::nullopt;
    uint64_t value = 0;
    for (char c : word) {
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else return std::nullopt;
      value = value * 16 + static_cast<uint64_t>(digit);
    }
    parts[n] = value;
    if (end != std::string_view::npos) key.remove_prefix(end + 1);
  }
  FileIdentity id;
  id.device = parts[0];
  id.inode = parts[1];
  id.size = static_cast<int64_t>(parts[2]);
  id.mtime_ns = static_cast<int64_t>(parts[3]);
  id.content_hash = parts[4];
  return id;
}

FileVersion read_file_version(const std::filesystem::path& path) {
  FileVersion version;
  File file = File::open(path, kReadNoFollow);
  if (!file.is_open()) {
    if (errno == ENOENT || errno == ENOTDIR) version.state = FileState::kMissing;
    else if (errno == ELOOP) version.state = FileState::kNotRegular;
    else version.state = FileState::kUnreadable;
    return version;
  }
  std::optional<FileInfo> st = file.info();
  if (!st) {
    version.state = FileState::kUnreadable;
    return version;
  }
  if (st->kind != FileKind::kRegular) {
    version.state = FileState::kNotRegular;
    return version;
  }
  if (st->size > kMaxJobFileSize) {
    version.state = FileState::kTooLarge;
    return version;
  }

  // Read to the end even if the file grew since it was looked at, but never past the limit.
  std::string bytes(static_cast<std::size_t>(st->size) + 1, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) {
      if (bytes.size() > static_cast<std::size_t>(kMaxJobFileSize)) {
        version.state = FileState::kTooLarge;
        return version;
      }
      bytes.resize(bytes.size() * 2);
    }
    int64_t n = file.read(bytes.data() + used, bytes.size() - used);
    if (n < 0) {
      version.state = FileState::kUnreadable;
      return version;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  bytes.resize(used);
  // Taken after the read: a writer that changed the file while we read it changed its
  // time as well, and the next comparison sees a different version.
  st = file.info();
  if (!st) {
    version.state = FileState::kUnreadable;
    return version;
  }
  version.identity.device = st->device;
  version.identity.inode = st->inode;
  version.identity.size = st->size;
  version.identity.mtime_ns = st->mtime_ns;
  version.identity.content_hash = content_hash(bytes);
  version.bytes = std::move(bytes);
  version.state = FileState::kRead;
  return version;
}

bool begins_with_version(const std::filesystem::path& path, const FileIdentity& identity) {
  File file = File::open(path, kReadNoFollow);
  std::optional<FileInfo> st = file.is_open() ? file.info() : std::nullopt;
  if (!st || st->kind != FileKind::kRegular) return false;
  if (identity.size < 0 || identity.size > kMaxJobFileSize || st->size < identity.size) return false;
  std::string bytes(static_cast<std::size_t>(identity.size), '\0');
  std::size_t used = 0;
  while (used < bytes.size()) {
    int64_t n = file.read(bytes.data() + used, bytes.size() - used);
    if (n <= 0) return false;
    used += static_cast<std::size_t>(n);
  }
  return content_hash(bytes) == identity.content_hash;
}

}  // namespace qz
