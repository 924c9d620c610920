#include "jobs/filing.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/paths.h"
#include "core/system_error.h"
#include "core/utf8.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// Far more than a folder ever holds under one name; past it, filing gives up.
constexpr int kMaxNumberedNames = 10000;
// Room for the longest number ("-9999") a numbered name adds.
constexpr std::size_t kLongestNumber = 5;

constexpr std::string_view kTakenAsidePrefix = ".qzgsms-aside-";

// An extension longer than this is no extension a job file has: it is cut like the stem.
constexpr std::size_t kLongestExtension = 32;

// The name a file is filed under: it fits with any number numbered_name() adds to it.
std::string fileable_name(const std::string& name) {
  return shortened_name(name, kLongestFileName - kLongestNumber);
}

bool exists_entry(const fs::path& path) { return entry_info(path) || errno != ENOENT; }

}  // namespace

std::string numbered_name(const std::string& name, int n) {
  if (n == 0) return name;
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "-" + std::to_string(n);
  return name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

std::string shortened_name(const std::string& name, std::size_t longest) {
  if (name.size() <= longest) return name;
  char hash[16];
  std::snprintf(hash, sizeof hash, "~%08" PRIx32, static_cast<uint32_t>(content_hash(name)));
  std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  if (extension.size() > kLongestExtension) extension.clear();
  std::size_t keep = utf8_cut(name, longest - std::strlen(hash) - extension.size());
  return name.substr(0, keep) + hash + extension;
}

fs::path taken_aside_name_for(const fs::path& job_file) {
  std::string name = job_file.filename().string();
  return job_file.parent_path() /
         path_from_text(std::string(kTakenAsidePrefix) +
                        shortened_name(name, kLongestFileName - kTakenAsidePrefix.size()));
}

bool is_taken_aside_name(const std::string& name) {
  return name.size() > kTakenAsidePrefix.size() && name.starts_with(kTakenAsidePrefix);
}

FilingResult publish_file(const fs::path& folder, const std::string& name, std::string_view bytes,
                          uint32_t permissions, const std::function<void(const fs::path&)>& before_rename) {
  FilingResult result;
  std::string fitting = fileable_name(name);
  result.shortened = fitting != name;
  int vanished = 0;
  for (int n = 0; n < kMaxNumberedNames; ++n) {
    fs::path destination = folder / path_from_text(numbered_name(fitting, n));
    result.path = destination;
    if (exists_entry(destination)) continue;

    if (before_rename) before_rename(destination);
    fs::path temp = temporary_name_for(destination);
    File file = File::open(temp, {.access = OpenFor::kWrite, .create = Create::kNew, .no_follow = true});
    if (!file.is_open()) {
      result.error = error_text(errno);
      return result;
    }
    bool written = file.set_permissions(permissions) && file.write(bytes) && file.sync();
    int saved = errno;
    written = file.close() && written;
    if (!written) {
      result.error = error_text(saved);
      remove_file(temp);
      return result;
    }
    if (rename_no_replace(temp, destination)) {
      sync_folder(folder);
      result.ok = true;
      return result;
    }
    saved = errno;
    remove_file(temp);
    // Removed under us by the start of another gateway filing into the same folder:
    // written again.
    if (saved == ENOENT && ++vanished < 3) {
      --n;
      continue;
    }
    if (saved != EEXIST) {
      result.error = error_text(saved);
      return result;
    }
    // Taken since we looked: try the next number.
  }
  result.error = "no free name";
  return result;
}

FilingResult move_entry(const fs::path& from, const fs::path& folder, const std::string& name) {
  FilingResult result;
  std::string fitting = fileable_name(name);
  result.shortened = fitting != name;
  for (int n = 0; n < kMaxNumberedNames; ++n) {
    result.path = folder / path_from_text(numbered_name(fitting, n));
    if (rename_no_replace(from, result.path)) {
      sync_folder(folder);
      result.ok = true;
      return result;
    }
    if (errno != EEXIST) {
      result.error = error_text(errno);
      return result;
    }
  }
  result.error = "no free name";
  return result;
}

Removal remove_if_unchanged(const fs::path& path, const FileIdentity& identity) {
  fs::path aside = taken_aside_name_for(path);
  if (!rename_no_replace(path, aside)) return errno == ENOENT ? Removal::kGone : Removal::kFailed;
  FileVersion taken = read_file_version(aside);
  if (taken.state == FileState::kRead && taken.identity == identity) {
    if (remove_taken_aside(aside) == Removal::kRemoved) return Removal::kRemoved;
    move_entry(aside, path.parent_path(), path.filename().string());
    return Removal::kFailed;
  }
  move_entry(aside, path.parent_path(), path.filename().string());
  return Removal::kChanged;
}

Removal remove_taken_aside(const fs::path& aside) {
  if (remove_file(aside)) {
    sync_folder(aside.parent_path());
    return Removal::kRemoved;
  }
  return errno == ENOENT ? Removal::kGone : Removal::kFailed;
}

std::vector<fs::path> restore_taken_aside(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> aside;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (is_taken_aside_name(name)) aside.push_back(it->path());
  }
  std::vector<fs::path> put_back;
  for (const fs::path& path : aside) {
    FilingResult moved = move_entry(path, folder, path.filename().string().substr(kTakenAsidePrefix.size()));
    if (moved.ok) put_back.push_back(moved.path);
  }
  return put_back;
}

int remove_leftover_temporaries(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> leftovers;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (is_temporary_name(it->path().filename().string())) leftovers.push_back(it->path());
  }
  int removed = 0;
  for (const fs::path& path : leftovers) {
    if (remove_file(path)) ++removed;
  }
  if (removed > 0) sync_folder(folder);
  return removed;
}

std::string could_not_move_line(const fs::path& from, const FilingResult& filed) {
  std::string line = "could not move " + from.string() + " to " + filed.path.string();
  return filed.error.empty() ? line : line + " (" + filed.error + ")";
}

std::string filed_name_note(const std::string& wanted, const FilingResult& filed) {
  if (!filed.ok) return "";
  if (filed.shortened) return wanted + " is too long for a file name: filed as " + filed.path.string();
  if (filed.path.filename() != path_from_text(wanted)) return wanted + " existed already: filed as " + filed.path.string();
  return "";
}

}  // namespace qz
