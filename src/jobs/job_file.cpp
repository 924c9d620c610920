#include "jobs/job_file.h"

#include "core/profile_file.h"

namespace qz {

AlarmJob parse_job_file(const std::string& bytes, const std::filesystem::path& path) {
  ProfileText file(bytes);
  AlarmJob job;
  job.JobFile = path.string();
  job.Szenario = file.read_text("Alarm", "Szenario", "", 64);
  job.PhoneNumber = file.read_text("Alarm", "PhoneNumber", "", 64);
  job.Name = file.read_text("Alarm", "Name", "", 64);
  job.Message = file.read_text("Alarm", "Message", "", 2048);
  job.AlarmKey = file.read_text("Alarm", "AlarmKey", "", 8);
  job.dbentry = file.read_int("Alarm", "dbentry", 8);
  job.Rings = file.read_int("Alarm", "Rings", 8);
  job.Flash = file.read_int("Alarm", "Flash", 0);
  job.ConfirmType = file.read_int("Alarm", "ConfirmType", job.Rings);
  job.SendConfirmAck = static_cast<uint8_t>(file.read_int("Alarm", "SendConfirmAck", 1));
  job.ContentType = file.read_text("Alarm", "ContentType", "SMS", 64);
  job.Subject = file.read_text("MMS", "Subject", "", 1024);
  for (int n = 1; n <= AlarmJob::kFileSlots; ++n) {
    job.Files[n - 1] = file.read_text("MMS", "File" + std::to_string(n), "", 260);
  }
  job.IsMiniMessage = job.Szenario.empty() ? 1 : 0;
  return job;
}

bool is_bad_request(const AlarmJob& job) {
  return job.PhoneNumber.empty() || (job.Message.empty() && job.Szenario.empty());
}

std::string bad_request_reason(const AlarmJob& job) {
  std::string reason;
  if (job.PhoneNumber.empty()) reason = "no number (PhoneNumber is missing or empty)";
  if (job.Message.empty() && job.Szenario.empty()) {
    if (!reason.empty()) reason += ", ";
    reason += "no text and no scenario (Message and Szenario are missing or empty)";
  }
  return reason;
}

}  // namespace qz
