// One alarm asked for from outside the alarm application (a script, a monitoring system:
// qzgsms-send), and the job file that carries it. The file is made for the gateway's own
// reader (job_file.h): what it reads back is exactly what was asked for, and a request the
// gateway would refuse or could never send is refused here, before anything is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

enum class JobChannel { kSms, kVoiceCall, kMms };

struct JobRequest {
  JobChannel channel = JobChannel::kSms;
  std::string number;    // PhoneNumber, as given (blanks are dropped when it is sent)
  std::string text;      // Message: one line, see one_line_text
  std::string name;      // Name, shown in the operator's job cell
  std::string scenario;  // Szenario; empty makes a mini-message
  int32_t entry = 0;     // dbentry, the row in the scenario's report table
  bool flash = false;
  std::string subject;                       // an MMS's
  std::vector<std::filesystem::path> files;  // an MMS's attachments, absolute
};

// The longest values the reader keeps, in bytes (its fields less one).
inline constexpr std::size_t kJobTextBytes = 2047;
inline constexpr std::size_t kJobNameBytes = 63;
inline constexpr std::size_t kJobSubjectBytes = 1023;
inline constexpr std::size_t kJobFilePathBytes = 259;
inline constexpr int kJobFiles = 20;

// `text` as one value of a job file, which holds one line per key: line breaks, tabs and
// other control characters become blanks (as the SMS would show them anyway), and a text
// longer than `longest` bytes is cut between characters.
std::string one_line_text(std::string_view text, std::size_t longest);

// Why the gateway would refuse `request` or could never send it, in a sentence; empty when
// it may go. Attachments are looked at on the disk.
std::string job_request_refusal(const JobRequest& request);

// The job file: section [Alarm] (and [MMS]), CR LF line ends, the texts as given (UTF-8 or
// the system's bytes). Only keys with a value are written, each value so that the reader
// gives it back whole (in quotes where it would drop blanks or quotes at its ends).
std::string job_file_bytes(const JobRequest& request);

}  // namespace qz
