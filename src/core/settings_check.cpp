#include "core/settings_check.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "core/files.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "core/text.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

std::string shown(const fs::path& path) { return path.string(); }

// A value as the findings quote it: long ones are cut, as a log line holds 255 characters.
std::string quoted_value(std::string_view value) {
  constexpr std::size_t kLongest = 40;
  if (value.size() <= kLongest) return std::string(value);
  return std::string(value.substr(0, kLongest)) + "...";
}

void check_file(const SettingsFile& file, const Settings& s, const fs::path& instance_folder,
                const SettingsReadOutcome& read, std::vector<SettingsFinding>& out) {
  const fs::path path = file.path();
  const std::string name = path.filename().string();
  if (!read.file_found) {
    out.push_back({SettingsFinding::kNoSettingsFile,
                   "No " + name + " in " + shown(instance_folder) +
                       ": every setting takes its default (Port " + s.Port + ")"});
  } else {
    std::error_code ec;
    int unreadable = fs::is_regular_file(path, ec) ? access_error(path, kAccessRead) : EINVAL;
    if (unreadable != 0) {
      std::string why = unreadable == EINVAL ? "not a regular file" : error_text(unreadable);
      out.push_back({SettingsFinding::kSettingsUnreadable,
                     name + " cannot be read (" + shown(path) + ": " + why +
                         "): every setting takes its default (Port " + s.Port + ")"});
      return;  // nor is it written: a file that cannot be read is never replaced
    }
    if (!read.keys_found) {
      out.push_back({SettingsFinding::kNoConfigSection,
                     name + " has no [Config] section: every setting takes its default (Port " +
                         s.Port + ")"});
    }
  }

  // Every write replaces the file through a new one beside it: the folder must be writable.
  int not_writable = read.write_error;
  if (not_writable == 0) not_writable = access_error(path.parent_path(), kAccessWrite | kAccessEnter);
  if (not_writable != 0) {
    out.push_back({SettingsFinding::kSettingsNotWritable,
                   name + " cannot be written (" + shown(path) + ": " + error_text(not_writable) +
                       "): the defaults of missing keys and the time of a technical alarm are "
                       "not stored"});
  }
}

// The settings file is the one place the PIN and the MMS password are kept; the alarm
// application needs it too, through its group, but other users have no business there.
void check_secrets(const SettingsFile& file, const Settings& s, const SettingsReadOutcome& read,
                   std::vector<SettingsFinding>& out) {
  if (!read.file_found || (s.PIN.empty() && s.MMSPWD.empty())) return;
  std::error_code ec;
  const fs::perms perms = fs::status(file.path(), ec).permissions();
  if (ec || (perms & fs::perms::others_read) == fs::perms::none) return;
  const char* secrets = s.PIN.empty() ? "the MMS password" : s.MMSPWD.empty() ? "the PIN" : "the PIN and the MMS password";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(perms & fs::perms::mask));
  out.push_back({SettingsFinding::kSecretsReadable,
                 file.path().filename().string() + " holds " + secrets + " and every user may read it (mode " + mode +
                     "): chmod 640 " + shown(file.path())});
}

// Values the start takes as they are and trips over later.
void check_values(const Settings& s, std::vector<SettingsFinding>& out) {
  // The value stays out of the line: the logs are read by many.
  const bool pin_digits = std::all_of(s.PIN.begin(), s.PIN.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!s.PIN.empty() && (!pin_digits || s.PIN.size() < 4 || s.PIN.size() > 8)) {
    out.push_back({SettingsFinding::kPinNotDigits,
                   "PIN is not 4 to 8 digits: the SIM refuses it when it asks for its PIN, and the gateway does not start"});
  }
  if (s.RetryDelay < 0) {
    out.push_back({SettingsFinding::kNegativeDelay, "RetryDelay=" + std::to_string(s.RetryDelay) +
                                                        " is negative: a failed send is tried again at once, without a pause"});
  }
}

void check_keys(const Settings& settings, const SettingsReadOutcome& read, std::vector<SettingsFinding>& out) {
  std::vector<std::string_view> known;
  for (const ConfigKey& key : config_keys()) known.emplace_back(key.name);

  if (read.keys_found) {
    std::vector<std::string> said;
    for (const std::string& key : *read.keys_found) {
      // A line commented out with its '=' reads as a key that nothing asks for: harmless.
      if (key.empty() || key.front() == ';' || key.front() == '#') continue;
      auto is_key = [&](std::string_view k) { return same_profile_name(k, key); };
      if (std::any_of(known.begin(), known.end(), is_key)) continue;
      if (std::any_of(said.begin(), said.end(), is_key)) continue;
      said.push_back(key);
      std::string nearest = nearest_name(key, known);
      const std::string shown_key = quoted_value(key);
      out.push_back({SettingsFinding::kUnknownKey,
                     nearest.empty() ? "unknown key '" + shown_key + "' in [Config]: ignored"
                                     : "unknown key '" + shown_key + "' \u2014 did you mean '" + nearest + "'?"});
    }
  }

  for (const auto& found : read.numbers_found) {
    // Plain references: clang 14 cannot capture a structured binding in a lambda.
    const std::string& name = found.first;
    const std::string& value = found.second;
    auto known_key = std::find_if(config_keys().begin(), config_keys().end(),
                                  [&](const ConfigKey& k) { return name == k.name; });
    if (known_key == config_keys().end()) continue;
    const ConfigKey& key = *known_key;
    std::string_view digits = value;
    if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
    bool all_digits = !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    // What the start ends up with: the reader takes the leading digits, a -9 among them
    // gives the default, and a value out of range may be brought into it afterwards.
    int32_t used = settings.*key.field;
    if (key.field == &Settings::QualityPollEverySecs) used /= 1000;
    std::string use = std::to_string(used);
    if (!all_digits) {
      out.push_back({SettingsFinding::kNotANumber, std::string(key.name) + "=" + quoted_value(value) +
                                                       " is not a number: " + use + " is used"});
      continue;
    }
    int64_t exact = 0;
    auto [end, error] = std::from_chars(value.data() + (value.front() == '+'), value.data() + value.size(), exact);
    if (error != std::errc() || exact < INT32_MIN || exact > INT32_MAX) {
      out.push_back({SettingsFinding::kNotANumber, std::string(key.name) + "=" + quoted_value(value) +
                                                       " is out of range: " + use + " is used"});
    }
  }
}

struct FolderUse {
  const char* key;
  const std::string& value;
  const char* lost;          // what does not work without it
  const char* lost_locked;   // what does not work when it cannot be written (or read)
  bool made_at_start;        // a job folder the start creates when its parent exists
  bool written;              // the gateway writes into it (else it only reads and updates tables)
};

// `made` lists the job folders the start will have created before this one (it creates
// them in the order they are checked), so a folder inside another counts as creatable.
void check_folder(const FolderUse& use, const fs::path& instance_folder, const SettingsReadOutcome& read,
                  std::vector<fs::path>& made, std::vector<SettingsFinding>& out) {
  const fs::path folder = folder_from_setting(instance_folder, use.value);
  const std::string head = std::string(use.key) + " " + shown(folder);
  std::error_code ec;
  fs::file_status status = fs::status(folder, ec);
  if (!fs::exists(status)) {
    const fs::path parent = folder.parent_path();
    const bool parent_made = std::find(made.begin(), made.end(), parent) != made.end();
    if (use.made_at_start && read.read_only &&
        (parent_made || (fs::is_directory(parent, ec) && access_error(parent, kAccessWrite | kAccessEnter) == 0))) {
      made.push_back(folder);
      out.push_back({SettingsFinding::kFolderCreatedAtStart,
                     head + " does not exist yet: the gateway creates it at start", false});
      return;
    }
    out.push_back({SettingsFinding::kFolderMissing, head + " does not exist: " + use.lost});
    return;
  }
  if (!fs::is_directory(status)) {
    out.push_back({SettingsFinding::kFolderMissing, head + " is not a folder: " + use.lost});
    return;
  }
  int denied = access_error(folder, use.written ? (kAccessRead | kAccessWrite | kAccessEnter) : (kAccessRead | kAccessEnter));
  if (denied != 0) {
    out.push_back({SettingsFinding::kFolderNotWritable,
                   head + " cannot be " + (use.written ? "written" : "read") + " (" + error_text(denied) +
                       "): " + use.lost_locked});
  }
}

void check_folders(const Settings& s, const fs::path& instance_folder, const SettingsReadOutcome& read,
                   std::vector<SettingsFinding>& out) {
  const bool moved = s.MoveJobToDoneOrErrorPath != 0;
  std::vector<fs::path> made;
  check_folder({"WatchPath", s.WatchPath, "no job is ever picked up", "job files cannot be taken out of it", true,
                true},
               instance_folder, read, made, out);
  if (moved) {
    const char* done_lost = "sent jobs cannot be filed";
    const char* error_lost = "failed jobs and bad requests cannot be filed";
    check_folder({"DonePath", s.DonePath, done_lost, done_lost, true, true}, instance_folder, read, made, out);
    check_folder({"ErrorPath", s.ErrorPath, error_lost, error_lost, true, true}, instance_folder, read, made, out);
  }
  // The report tables are updated in place; the folder itself is written only when the
  // job files are filed there as well.
  const char* report_lost = moved ? "no report table can be updated" : "no report table can be updated and no job filed";
  check_folder({"WatchLogPath", s.WatchLogPath, report_lost, report_lost, false, !moved}, instance_folder, read, made, out);

  // A job filed into the watch folder still matches the mask there: it would be read as a
  // new job, sent and filed again, without end. Folders are compared by identity (any
  // spelling, a link, a bind mount) and, while they do not exist yet, by their path.
  const fs::path watch = folder_from_setting(instance_folder, s.WatchPath);
  auto filed_into_watch = [&](const char* key, const std::string& value) {
    if (value.empty()) return;  // nothing is filed
    const fs::path folder = folder_from_setting(instance_folder, value);
    if (folder != watch && !same_file(folder, watch)) return;
    out.push_back({SettingsFinding::kFiledIntoWatchFolder,
                   std::string(key) + " " + shown(folder) + " is the watch folder (WatchPath " + shown(watch) +
                       "): every job filed there would be read as a new job and sent again; give it a folder of "
                       "its own (one inside the watch folder will do)"});
  };
  if (moved) {
    filed_into_watch("DonePath", s.DonePath);
    filed_into_watch("ErrorPath", s.ErrorPath);
  } else {
    filed_into_watch("WatchLogPath", s.WatchLogPath);
  }
}

}  // namespace

std::vector<SettingsFinding> check_settings(const SettingsFile& file, const Settings& settings,
                                            const fs::path& instance_folder,
                                            const SettingsReadOutcome& read) {
  std::vector<SettingsFinding> findings;
  check_file(file, settings, instance_folder, read, findings);
  check_secrets(file, settings, read, findings);
  check_keys(settings, read, findings);
  check_values(settings, findings);
  check_folders(settings, instance_folder, read, findings);
  return findings;
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  // Optimal string alignment: Levenshtein plus the swap of two neighbours ("Prot").
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::size_t> d((n + 1) * (m + 1));
  auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * (m + 1) + j]; };
  for (std::size_t i = 0; i <= n; ++i) at(i, 0) = i;
  for (std::size_t j = 0; j <= m; ++j) at(0, j) = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      std::size_t cost = lower_ascii(a[i - 1]) == lower_ascii(b[j - 1]) ? 0 : 1;
      std::size_t best = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
      if (i > 1 && j > 1 && lower_ascii(a[i - 1]) == lower_ascii(b[j - 2]) && lower_ascii(a[i - 2]) == lower_ascii(b[j - 1])) {
        best = std::min(best, at(i - 2, j - 2) + 1);
      }
      at(i, j) = best;
    }
  }
  return at(n, m);
}

std::string nearest_name(std::string_view name, std::span<const std::string_view> known) {
  // Short names are close to many others; they get less room.
  const std::size_t room = name.size() <= 4 ? 1 : name.size() <= 8 ? 2 : 3;
  std::string_view best;
  std::size_t best_distance = room + 1;
  for (std::string_view candidate : known) {
    // The distance is at least the difference in length: a key of a megabyte is never
    // compared at full cost.
    const std::size_t shorter = std::min(name.size(), candidate.size());
    if (std::max(name.size(), candidate.size()) - shorter > room) continue;
    std::size_t distance = edit_distance(name, candidate);
    if (distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  return std::string(best);
}

}  // namespace qz
