// Reading a job file (sections [Alarm] and [MMS]) into an AlarmJob.
#pragma once

#include <filesystem>
#include <string>

#include "jobs/alarm_job.h"

namespace qz {

// Every key with its default, texts cut to their field width; JobFile set to `path`,
// IsMiniMessage set when there is no scenario. `bytes` are the file's contents.
AlarmJob parse_job_file(const std::string& bytes, const std::filesystem::path& path);

// A job file that can never be sent: no number, or neither a text nor a scenario.
bool is_bad_request(const AlarmJob& job);

// Why a job file is a bad request, for the daily log ("no number (PhoneNumber is missing or
// empty)"); empty when it is not one.
std::string bad_request_reason(const AlarmJob& job);

}  // namespace qz
