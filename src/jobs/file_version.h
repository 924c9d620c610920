// One version of a job file: its bytes and what identifies them. The alarm application
// may rewrite a job file in place (same name, same inode) with a new alarm; the gateway
// tells the versions apart by the file's identity (files.h), size, modification time and
// a hash of the bytes, so a rewrite is never mistaken for the job that was read before it.
//
// Job files are read through one descriptor opened without following a symbolic link,
// and only regular files are read: a link placed in the watch folder cannot make the
// gateway read or write a file elsewhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qz {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;
  uint64_t content_hash = 0;

  bool operator==(const FileIdentity&) const = default;
  // The same file, whatever its contents now.
  bool same_file(const FileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }

  // One word of text ("dev:ino:size:mtime:hash" in hexadecimal) for the job journal.
  std::string key() const;
  static std::optional<FileIdentity> from_key(std::string_view key);
};

enum class FileState {
  kRead,        // a regular file, read whole
  kMissing,     // gone between listing and reading
  kNotRegular,  // a symbolic link, a folder, a FIFO, a device
  kTooLarge,    // larger than any job file: not read
  kUnreadable,  // could not be opened or read (permissions, I/O error)
};

struct FileVersion {
  FileState state = FileState::kMissing;
  std::string bytes;
  FileIdentity identity;
};

// No job file comes near this; a bigger one is a bad request, never read into memory.
inline constexpr int64_t kMaxJobFileSize = int64_t{1} << 20;

// Reads `path` whole through one open file (never through a link, never waiting for a
// FIFO), checking that it is a regular file of at most kMaxJobFileSize bytes. The identity
// is taken from that same open file after the read, so bytes and identity belong together.
FileVersion read_file_version(const std::filesystem::path& path);

// Whether the regular file `path` (never followed through a link) begins with the bytes of
// the version `identity`, by their size and hash: a job's filed copy holds them, followed
// by its note, wherever it was filed and whatever the job file holds now.
bool begins_with_version(const std::filesystem::path& path, const FileIdentity& identity);

// 64-bit FNV-1a: cheap and good enough to tell two versions of a small file apart.
uint64_t content_hash(std::string_view bytes);

}  // namespace qz
