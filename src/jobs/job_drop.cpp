#include "jobs/job_drop.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <random>

#include "core/files.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "core/this_process.h"
#include "jobs/folder_watch.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// Names taken meanwhile, or a mask that allows few names: a new name is tried.
constexpr int kNameTries = 100;
// The temporary file removed under us by a gateway's start, which clears such files away.
constexpr int kWriteTries = 3;

constexpr std::string_view kClassCandidates = "0123456789abcdefghijklmnopqrstuvwxyz_-";

// Where the bracket expression starting at mask[open] ends (its ']'), or npos. A ']' right
// after the '[' (or after "[!" / "[^") belongs to the set.
std::size_t class_end(const std::string& mask, std::size_t open) {
  std::size_t at = open + 1;
  if (at < mask.size() && (mask[at] == '!' || mask[at] == '^')) ++at;
  if (at < mask.size() && mask[at] == ']') ++at;
  return mask.find(']', at);
}

// The name for one way of filling the stars after the first: `last_star` goes into the
// mask's last one, nothing into the others.
std::string fill_mask(const std::string& mask, const std::string& unique, const std::string& last_star) {
  const std::size_t first_star = mask.find('*');
  const std::size_t final_star = mask.rfind('*');
  std::string name;
  std::size_t questions = 0;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const char c = mask[i];
    if (c == '*') {
      name += i == first_star ? unique : i == final_star ? last_star : "";
    } else if (c == '?') {
      name += unique.empty() ? 'x' : unique[unique.size() - 1 - questions++ % unique.size()];
    } else if (std::size_t end = c == '[' ? class_end(mask, i) : std::string::npos; end != std::string::npos) {
      // A set where the platform's mask has them; taken as it stands where it has none.
      const std::string set = mask.substr(i, end - i + 1);
      std::size_t k = 0;
      while (k < kClassCandidates.size() && !file_name_matches(set, std::string(1, kClassCandidates[k]))) ++k;
      if (k == kClassCandidates.size()) {
        name += c;
        continue;
      }
      name += kClassCandidates[k];
      i = end;
    } else {
      name += c;
    }
  }
  return name;
}

bool can_hold_a_job(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) return false;
  // The gateway's own names (temporaries, files taken aside) all begin so.
  if (name.starts_with(".qzgsms-")) return false;
  // Windows drops a name's trailing dots and blanks: the file would not have this name.
  return name.back() != '.' && name.back() != ' ';
}

std::string random_hex() {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  static std::mt19937_64 engine = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016" PRIx64, static_cast<uint64_t>(engine()));
  return digits;
}

struct Written {
  fs::path temporary;
  FileIdentity identity;
  int error = 0;
};

// The whole job under a temporary name, on the disk before it gets its name: a job that
// was reported queued survives a power cut.
Written write_aside(const fs::path& watch, std::string_view bytes) {
  Written w;
  w.temporary = temporary_name_for(watch / "job");
  File file = File::open(w.temporary, {.access = OpenFor::kWrite, .create = Create::kNew, .no_follow = true});
  if (!file.is_open()) {
    w.error = errno;
    return w;
  }
  // The gateway's user reads it, whatever the writer's umask.
  bool written = file.set_permissions(0644) && file.write(bytes) && file.sync();
  int saved = errno;
  written = file.close() && written;
  FileVersion version;
  if (written) version = read_file_version(w.temporary);
  if (!written || version.state != FileState::kRead) {
    w.error = written ? EIO : saved;
    remove_file(w.temporary);
    return w;
  }
  w.identity = version.identity;
  return w;
}

}  // namespace

std::optional<std::string> job_name_for_mask(const std::string& mask, const std::string& unique) {
  for (const char* last_star : {"", "job"}) {
    std::string name = fill_mask(mask, unique, last_star);
    if (can_hold_a_job(name) && file_name_matches(mask, name)) return name;
  }
  return std::nullopt;
}

std::string unique_job_text() {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  char text[64];
  std::snprintf(text, sizeof text, "send-%08" PRIX64 "-%ld-%s", static_cast<uint64_t>(seconds.count()),
                current_process_id(), random_hex().substr(0, 8).c_str());
  return text;
}

DroppedJob drop_job_file(const fs::path& watch, const std::string& mask, std::string_view bytes) {
  DroppedJob dropped;
  if (!job_name_for_mask(mask, unique_job_text())) {
    dropped.problem = "no job file name can be made to match FileMask '" + mask + "'";
    return dropped;
  }
  for (int write = 0; write < kWriteTries; ++write) {
    Written aside = write_aside(watch, bytes);
    if (aside.error != 0) {
      dropped.error = aside.error;
      dropped.problem = error_text(aside.error);
      return dropped;
    }
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
      const fs::path path = watch / path_from_text(*job_name_for_mask(mask, unique_job_text()));
      if (rename_no_replace(aside.temporary, path)) {
        sync_folder(watch);
        dropped.ok = true;
        dropped.path = path;
        dropped.identity = aside.identity;
        return dropped;
      }
      if (errno != EEXIST) break;
    }
    const int saved = errno;
    if (remove_file(aside.temporary) || saved != ENOENT) {
      dropped.error = saved == EEXIST ? EEXIST : saved;
      dropped.problem = saved == EEXIST ? "every name FileMask '" + mask + "' allows is taken in the watch folder"
                                        : error_text(saved);
      return dropped;
    }
    // ENOENT and the temporary gone: a gateway starting meanwhile cleared it away.
  }
  dropped.error = ENOENT;
  dropped.problem = "the job file was removed while it was being written, again and again";
  return dropped;
}

}  // namespace qz
