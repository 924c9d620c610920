// The outcome of one job as the gateway leaves it, for a sender that waits for it without
// asking the gateway anything: the journal's outcome record ("O <identity> <status> ...",
// job_journal.h) or the filed copy of the job file in a filing folder (the job's bytes
// under "XXXXXXXX-<name>", with the success note when it was sent; a bad request under
// its own name). Whichever shows first tells. Each look costs a few lookups of the files'
// sizes and times while nothing changes; a folder is listed only when it changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jobs/file_version.h"

namespace qz {

struct JobOutcome {
  int32_t status = 0;            // JOB_SENT, JOB_FAILED or JOB_NOT_SENT
  std::filesystem::path filed;   // the filed copy; empty when the journal told
};

class JobOutcomeWatch {
 public:
  // `job_file` with the bytes and identity it was dropped with; `filing_folders` where the
  // gateway files it (done and error, or the report folder); `journal` the instance's job
  // journal. Folders and a journal that cannot be read are passed over.
  JobOutcomeWatch(std::filesystem::path job_file, std::string bytes, FileIdentity identity,
                  std::vector<std::filesystem::path> filing_folders, std::filesystem::path journal);

  std::optional<JobOutcome> look();

 private:
  struct Seen {
    int64_t size = -1;
    int64_t mtime_ns = -1;
  };
  std::optional<JobOutcome> look_in_journal();
  std::optional<JobOutcome> look_in_folder(const std::filesystem::path& folder, Seen& seen);
  std::optional<JobOutcome> filed_copy(const std::filesystem::path& file) const;
  bool is_filed_name(const std::string& name, bool own_name_filed) const;

  std::string name_;
  std::filesystem::path job_folder_;
  std::string bytes_;
  std::string identity_key_;
  std::vector<std::filesystem::path> folders_;
  std::vector<Seen> folders_seen_;
  std::filesystem::path journal_;
  Seen journal_seen_;
  int looks_ = 0;
};

}  // namespace qz
