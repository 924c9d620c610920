#include "jobs/job_outcome.h"

#include <cctype>
#include <charconv>

#include "core/files.h"
#include "jobs/alarm_job.h"
#include "jobs/filing.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// A folder's time may not change with every entry (a coarse clock, a network file
// system): every this many looks it is listed all the same.
constexpr int kListAnywayEvery = 20;
// The journal is emptied whenever nothing is pending, so it stays small; one far larger
// is read no further than this.
constexpr int64_t kJournalReadLimit = 16 << 20;

constexpr std::string_view kSuccessNote = " ALARM successfully sent";

bool changed(const std::optional<FileInfo>& info, int64_t& size, int64_t& mtime_ns) {
  if (!info) return false;
  const bool differs = info->size != size || info->mtime_ns != mtime_ns;
  size = info->size;
  mtime_ns = info->mtime_ns;
  return differs;
}

std::string read_up_to(const fs::path& path, int64_t limit) {
  File file = File::open(path, {.no_follow = true});
  std::string bytes;
  if (!file.is_open()) return bytes;
  char buffer[64 * 1024];
  for (int64_t n; static_cast<int64_t>(bytes.size()) < limit && (n = file.read(buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

bool is_hex_prefix(std::string_view text) {
  if (text.size() < 9 || text[8] != '-') return false;
  for (char c : text.substr(0, 8)) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

JobOutcomeWatch::JobOutcomeWatch(fs::path job_file, std::string bytes, FileIdentity identity,
                                 std::vector<fs::path> filing_folders, fs::path journal)
    : job_folder_(job_file.parent_path().lexically_normal()),
      bytes_(std::move(bytes)),
      identity_key_(identity.key()),
      folders_(std::move(filing_folders)),
      folders_seen_(folders_.size()),
      journal_(std::move(journal)) {
  const std::u8string name = job_file.filename().u8string();
  name_.assign(name.begin(), name.end());
}

std::optional<JobOutcome> JobOutcomeWatch::look() {
  ++looks_;
  if (auto outcome = look_in_journal()) return outcome;
  for (std::size_t i = 0; i < folders_.size(); ++i) {
    if (auto outcome = look_in_folder(folders_[i], folders_seen_[i])) return outcome;
  }
  return std::nullopt;
}

std::optional<JobOutcome> JobOutcomeWatch::look_in_journal() {
  if (!changed(entry_info(journal_), journal_seen_.size, journal_seen_.mtime_ns)) return std::nullopt;
  const std::string journal = read_up_to(journal_, kJournalReadLimit);
  const std::string record = "O " + identity_key_ + " ";
  for (std::size_t at = 0; (at = journal.find(record, at)) != std::string::npos; at += record.size()) {
    if (at != 0 && journal[at - 1] != '\n') continue;
    const std::size_t from = at + record.size();
    int32_t status = 0;
    auto [end, error] = std::from_chars(journal.data() + from, journal.data() + journal.size(), status);
    // A record is whole once its line end is there.
    if (error == std::errc() && journal.find('\n', from) != std::string::npos && *end == ' ') {
      return JobOutcome{status, {}};
    }
  }
  return std::nullopt;
}

bool JobOutcomeWatch::is_filed_name(const std::string& name, bool own_name_filed) const {
  if (name == name_) return own_name_filed;  // a bad request keeps its name
  if (!is_hex_prefix(name)) return false;
  const std::string_view filed = std::string_view(name).substr(9);
  if (filed == name_) return true;
  // "stem-N.ext": the name was taken in that folder.
  const std::size_t dot = name_.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name_ : name_.substr(0, dot);
  const std::string extension = name_.substr(stem.size());
  if (!filed.starts_with(stem + "-") || !filed.ends_with(extension)) return false;
  const std::string_view number = filed.substr(stem.size() + 1, filed.size() - stem.size() - 1 - extension.size());
  return !number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<JobOutcome> JobOutcomeWatch::filed_copy(const fs::path& file) const {
  FileVersion version = read_file_version(file);
  if (version.state != FileState::kRead || !version.bytes.starts_with(bytes_)) return std::nullopt;
  const std::string_view rest = std::string_view(version.bytes).substr(bytes_.size());
  if (rest.empty()) return JobOutcome{JOB_FAILED, file};
  if (rest.ends_with(kSuccessNote)) return JobOutcome{JOB_SENT, file};
  return std::nullopt;
}

std::optional<JobOutcome> JobOutcomeWatch::look_in_folder(const fs::path& folder, Seen& seen) {
  const bool folder_changed = changed(entry_info(folder), seen.size, seen.mtime_ns);
  if (!folder_changed && looks_ % kListAnywayEvery != 0) return std::nullopt;
  // Filed into the watch folder itself (the report folder may be that), the job file
  // under its own name is the job waiting, not its copy.
  const bool own_name_filed = folder.lexically_normal() != job_folder_;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::u8string utf8 = it->path().filename().u8string();
    const std::string name(utf8.begin(), utf8.end());
    if (!is_filed_name(name, own_name_filed)) continue;
    if (auto outcome = filed_copy(it->path())) return outcome;
  }
  return std::nullopt;
}

}  // namespace qz
