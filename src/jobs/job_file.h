// Reading a job file (sections [Alarm] and [MMS]) into an AlarmJob.
#pragma once

#include <filesystem>

#include "jobs/alarm_job.h"

namespace qz {

// Every key with its default, texts cut to their field width; JobFile set to `path`.
AlarmJob read_job_file(const std::filesystem::path& path);

// A job file that can never be sent: no number, or neither a text nor a scenario.
bool is_bad_request(const AlarmJob& job);

}  // namespace qz
