// qzgsms-send: one alarm queued for the gateway of an instance folder, and, when asked, its
// outcome as the exit code (send_options.h). It finds the watch folder and FileMask with the
// gateway's own settings reader, refuses what the gateway would refuse before writing
// anything, drops one job file (job_drop.h) and, with --wait, watches for the job's outcome
// where the gateway leaves it (job_outcome.h); it never talks to the modem. Whether a
// gateway serves the folder it asks the folder's claim (folder_lock.h), which it only looks
// at, so it never keeps a gateway from starting.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qz {

struct Settings;
struct JobRequest;

// The whole program: `args` are the arguments after its name; the job's name and its
// outcome go to `out`, what is wrong to `err`, TEXT "-" is read from `in`. The exit code.
int qzgsms_send(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);

// How long --wait waits without SECONDS: as long as the gateway's tries of this job may take
// with these settings, and a minute for the queue and the report.
int default_wait_seconds(const Settings& settings, const JobRequest& request);

}  // namespace qz
