#include "jobs/job_request.h"

#include <system_error>

#include "core/paths.h"
#include "core/text.h"
#include "core/utf8.h"
#include "jobs/report_table.h"
#include "modem/mms_builder.h"
#include "modem/phone_number.h"
#include "modem/sms.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// The widest field the reader has for a scenario or a number.
constexpr std::size_t kJobKeyBytes = 63;

// The reader drops blanks around a value and one pair of quotes around it: such a value
// goes in quotes, which the reader takes off again.
std::string value_text(const std::string& value) {
  const bool loses_blanks = !value.empty() && (is_blank(value.front()) || is_blank(value.back()));
  const bool loses_quotes = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                            value.back() == value.front();
  return loses_blanks || loses_quotes ? "\"" + value + "\"" : value;
}

void add_key(std::string& out, std::string_view key, const std::string& value) {
  if (!value.empty()) out += std::string(key) + "=" + value_text(value) + "\r\n";
}

std::string number_refusal(const JobRequest& r) {
  if (r.number.empty()) return "no number";
  const std::string dial = without_blanks(r.number);
  if (!is_dialable(dial) || r.number.size() > kJobKeyBytes) {
    return "the number '" + r.number + "' cannot be dialled: digits only, with a leading + and * or # if need be";
  }
  if (r.channel == JobChannel::kSms && dial.size() > kMaxSmsNumberLength) {
    return "the number '" + r.number + "' is too long for an SMS (at most " + std::to_string(kMaxSmsNumberLength) +
           " characters)";
  }
  if (r.channel == JobChannel::kMms && (r.number.size() < 3 || !is_mms_recipient(dial))) {
    return "the number '" + r.number + "' cannot receive an MMS (3 to " + std::to_string(kMmsMaxRecipientLength) +
           " characters)";
  }
  return "";
}

// The attachment as the gateway will read it: the path written into the job file must
// name the same file again (folder settings turn every backslash into a slash).
std::string file_refusal(const fs::path& file) {
  const std::u8string utf8 = file.u8string();
  const std::string text(utf8.begin(), utf8.end());
  if (text.size() > kJobFilePathBytes) return "the path " + text + " is too long for a job file";
  if (!file.is_absolute() || folder_from_setting("/", text) != file.lexically_normal()) {
    return "the path " + text + " cannot be written into a job file (a backslash in a name)";
  }
  if (!is_mms_attachment_type(text)) return text + " is no picture, sound or video an MMS carries (.jpg, .jpeg, .amr, .3gp)";
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return text + " does not exist or is not a file";
  if (fs::file_size(file, ec) > kMmsMaxFileBytes) {
    return text + " is too big for an MMS (at most " + std::to_string(kMmsMaxFileBytes) + " bytes)";
  }
  return "";
}

}  // namespace

std::string one_line_text(std::string_view text, std::size_t longest) {
  std::string line(text.substr(0, utf8_cut(text, longest)));
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

std::string job_request_refusal(const JobRequest& r) {
  if (std::string refusal = number_refusal(r); !refusal.empty()) return refusal;
  if (trim(r.text).empty() && r.channel != JobChannel::kVoiceCall) return "no text to send";
  if (r.scenario.empty() && r.channel != JobChannel::kSms) {
    // A job without a scenario is a mini-message, which goes out as an SMS whatever it asks.
    return std::string(r.channel == JobChannel::kMms ? "an MMS" : "a voice call") +
           " needs a scenario and its row (--scenario S --entry N)";
  }
  const bool control = r.scenario != one_line_text(r.scenario, r.scenario.size());
  if (!r.scenario.empty() && (!names_a_report_table(r.scenario) || r.scenario.size() > kJobKeyBytes || control)) {
    return "the scenario '" + r.scenario + "' does not name a report table: a name of at most " +
           std::to_string(kJobKeyBytes) + " bytes, without a folder or a drive";
  }
  if (r.entry < 0) return "the row must be 0 or more";
  if (r.channel == JobChannel::kMms) {
    if (r.files.empty()) return "an MMS needs a file";
    if (r.files.size() > static_cast<std::size_t>(kJobFiles)) return "an MMS takes at most 20 files";
    for (const fs::path& file : r.files) {
      if (std::string refusal = file_refusal(file); !refusal.empty()) return refusal;
    }
  }
  return "";
}

std::string job_file_bytes(const JobRequest& r) {
  std::string out = "[Alarm]\r\n";
  add_key(out, "Szenario", r.scenario);
  add_key(out, "Name", r.name);
  add_key(out, "PhoneNumber", r.number);
  add_key(out, "Message", r.text);
  if (!r.scenario.empty()) add_key(out, "dbentry", std::to_string(r.entry));
  if (r.flash) add_key(out, "Flash", "1");
  add_key(out, "ContentType", r.channel == JobChannel::kSms         ? std::string("SMS")
                              : r.channel == JobChannel::kVoiceCall ? std::string("VC")
                                                                    : std::string(kMmsMultipartMixed));
  if (r.channel != JobChannel::kMms) return out;
  out += "\r\n[MMS]\r\n";
  add_key(out, "Subject", r.subject);
  for (std::size_t n = 0; n < r.files.size(); ++n) {
    const std::u8string utf8 = r.files[n].u8string();
    add_key(out, "File" + std::to_string(n + 1), std::string(utf8.begin(), utf8.end()));
  }
  return out;
}

}  // namespace qz
