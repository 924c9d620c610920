#include "core/files.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <random>

#include "core/paths.h"

namespace qz {

namespace fs = std::filesystem;

// Owning a handle is the same on every platform; only opening and closing one differ.
File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { close(); }

namespace {

constexpr std::string_view kTemporaryPrefix = ".qzgsms-";
constexpr std::string_view kTemporarySuffix = ".part";
constexpr std::size_t kTemporaryDigits = 16;

// Another name is tried when one is taken; so many taken names are no coincidence.
constexpr int kTemporaryTries = 100;
// A temporary removed under us (the start-up of a gateway clearing what an earlier run
// left) is written again, a few times at most.
constexpr int kVanishedTries = 3;

std::string random_digits() {
  static std::mutex mutex;
  static std::mt19937_64 engine = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  std::lock_guard lock(mutex);
  char digits[kTemporaryDigits + 1];
  std::snprintf(digits, sizeof digits, "%016" PRIx64, static_cast<uint64_t>(engine()));
  return digits;
}

// A new temporary beside `target`, created exclusively, its name in `temp`.
File create_temporary(const fs::path& target, fs::path& temp) {
  for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
    temp = temporary_name_for(target);
    File file = File::open(temp, {.access = OpenFor::kWrite, .create = Create::kNew, .no_follow = true});
    if (file.is_open() || errno != EEXIST) return file;
  }
  return File();
}

// One attempt of replace_file; errno says why it failed.
bool write_and_rename(const fs::path& target, std::string_view bytes, const ReplaceOptions& options) {
  fs::path temp;
  File file = create_temporary(target, temp);
  if (!file.is_open()) return false;
  bool ok = file.set_permissions(options.permissions);
  if (ok && options.keep_owner) file.keep_owner_of(target);
  ok = ok && file.write(bytes) && file.sync();
  ok = file.close() && ok;
  ok = ok && rename_replacing(temp, target);
  if (!ok) {
    const int error = errno;
    remove_file(temp);
    errno = error;
  }
  return ok;
}

}  // namespace

fs::path temporary_name_for(const fs::path& destination) {
  return destination.parent_path() /
         path_from_text(std::string(kTemporaryPrefix) + random_digits() + std::string(kTemporarySuffix));
}

bool is_temporary_name(const std::string& name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size()) return false;
  if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) return false;
  std::string_view digits = std::string_view(name).substr(kTemporaryPrefix.size(), kTemporaryDigits);
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool replace_file(const fs::path& target, std::string_view bytes, const ReplaceOptions& options) {
  for (int attempt = 1;; ++attempt) {
    if (write_and_rename(target, bytes, options)) break;
    if (errno != ENOENT || attempt == kVanishedTries) return false;
  }
  // The rename itself becomes durable with the folder; failing that is not a lost write.
  sync_folder(target.parent_path());
  return true;
}

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::optional<FileInfo> first = target_info(a);
  std::optional<FileInfo> second = first ? target_info(b) : std::nullopt;
  return second && first->device == second->device && first->inode == second->inode;
}

}  // namespace qz
