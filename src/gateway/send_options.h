// The command line of qzgsms-send, which queues one alarm for the gateway of an instance
// folder and can wait for its outcome:
//
//   qzgsms-send [--instance DIR] [--voice | --mms FILE... [--subject S]] [--flash]
//               [--scenario S --entry N] [--name NAME] [--wait[=SECONDS]] NUMBER [TEXT | -]
//
// Options and the two arguments may come in any order; "--" ends the options, so that a
// TEXT may begin with '-'. A value may follow its option as the next argument or after '='
// (--wait takes one only after '='). Anything wrong is a usage error (exit code 2).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jobs/job_request.h"

namespace qz {

// The exit codes of qzgsms-send; 0, 1 and 3 mean what they mean to a monitoring system.
inline constexpr int kSendOk = 0;          // queued; with --wait: sent
inline constexpr int kSendFailed = 1;      // with --wait: the gateway gave up on it
inline constexpr int kSendRefused = 2;     // nothing queued: usage, a refused request, no access
inline constexpr int kSendNoAnswer = 3;    // with --wait: no outcome in time, or no gateway

// The longest --wait.
inline constexpr int kLongestWaitSeconds = 7 * 24 * 3600;

struct SendOptions {
  enum class Action { kSend, kHelp, kVersion, kUsageError };
  Action action = Action::kSend;
  std::string error;     // for kUsageError
  std::string instance;  // empty: the current folder
  JobRequest request;    // text and name as given; files as given (not yet absolute)
  bool text_from_input = false;  // TEXT was "-"
  std::vector<std::string> files;
  bool wait = false;
  std::optional<int> wait_seconds;  // --wait=SECONDS; without it, the tries' own time
};

SendOptions parse_send_options(const std::vector<std::string>& args);

std::string send_help();

}  // namespace qz
