// Job files are written by the alarm application, or by anything else that can drop a
// file into the watch folder. Whatever they hold, the job that comes out keeps every text
// within the width the rest of the gateway gives it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "jobs/job_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = "/qzt/qzgsms/job.sms";
  const qz::AlarmJob job = qz::parse_job_file(bytes, path);

  FUZZ_CHECK(job.JobFile == path);
  FUZZ_CHECK(job.Szenario.size() < 64 && job.PhoneNumber.size() < 64 && job.Name.size() < 64);
  FUZZ_CHECK(job.Message.size() < 2048 && job.AlarmKey.size() < 8);
  FUZZ_CHECK(job.ContentType.size() < 64 && job.Subject.size() < 1024);
  for (const std::string& file : job.Files) FUZZ_CHECK(file.size() < 260);
  FUZZ_CHECK(job.IsMiniMessage == (job.Szenario.empty() ? 1 : 0));
  // A job without a number can never be sent, whatever else it holds.
  if (job.PhoneNumber.empty()) FUZZ_CHECK(qz::is_bad_request(job));
  return 0;
}
