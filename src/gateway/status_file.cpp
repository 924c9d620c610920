#include "gateway/status_file.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "core/files.h"
#include "core/system_error.h"
#include "gateway/gateway.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

int64_t now_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
}

// A phone number from a job file must not start a line of its own.
std::string one_line(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

std::string line(const char* key, const std::string& value) {
  return key + ("=" + one_line(value)) + std::string(text_line_end());
}
std::string line(const char* key, int64_t value) { return line(key, std::to_string(value)); }

int64_t oldest_job_age(JobTable& jobs, int64_t now) {
  int64_t oldest = now;
  std::lock_guard lock(jobs.JobTableLock);
  for (const auto& job : jobs.jobs_by_slot) {
    if (job) oldest = std::min(oldest, job->AdmittedTime);
  }
  return now - oldest;
}

std::string status_text(Gateway& g, long pid, bool stopped) {
  const int64_t now = now_seconds();
  const GatewayStatus& s = g.link.status;
  const SendRecord last = s.last_send();
  const TechAlarmTimes alarm = tech_alarm_times(g.link);
  return "# The state of the qzgsms gateway in this folder, replaced every few seconds; qzgsmsd --status reads it" +
         std::string(text_line_end()) +
         line("state", stopped ? "stopped" : "running") + line("pid", pid) +
         line("written", now) + line("modem_up", int{s.modem_up.load()}) +
         line("signal", g.link.SignalLevel.load()) + line("registered", int{s.registered.load()}) +
         line("jobs", g.jobs.count()) + line("oldest_job_age", oldest_job_age(g.jobs, now)) +
         line("job_late_after", s.job_late_after.load()) + line("last_send_time", last.time) + line("last_send_to", last.to) +
         line("last_send_result", last.result) + line("sent", s.sent.load()) + line("failed", s.failed.load()) +
         line("retried", s.retried.load()) + line("bad_requests", s.bad_requests.load()) +
         line("received", s.received.load()) + line("not_handed_on", s.not_handed_on.load()) +
         line("delivered", s.delivered.load()) + line("not_delivered", s.not_delivered.load()) +
         line("store_used", s.store_used.load()) + line("store_total", s.store_total.load()) + line("tech_alarm_last", alarm.last) +
         line("tech_alarm_held_until", alarm.held_until);
}

}  // namespace

int64_t job_late_after_seconds(const Settings& settings) {
  return int64_t{std::max(settings.RetryCount, 1)} * settings.RetryDelay + kJobLateMarginSeconds;
}

void StatusFileWriter::write(Gateway& g, bool stopped) {
  next_due_ms_ = clock().steady_ms() + kStatusEveryMs;
  modem_up_written_ = g.link.status.modem_up.load();
  const fs::path file = g.folder / kStatusFileName;
  // Readable by the monitoring system's user, which is rarely the gateway's.
  if (replace_file(file, status_text(g, pid_, stopped), {.permissions = 0644})) {
    failure_said_ = false;
  } else if (!failure_said_) {
    failure_said_ = true;
    g.log.Log("Status file: cannot write " + error_line(last_system_error(file)) +
                  ": a status check cannot tell how this gateway is",
              kRed);
  }
}

void StatusFileWriter::write_when_due(Gateway& g) {
  if (clock().steady_ms() >= next_due_ms_ || g.link.status.modem_up.load() != modem_up_written_) write(g);
}

int StatusFileWriter::wait_ms() const {
  const int64_t left = std::max<int64_t>(0, next_due_ms_ - clock().steady_ms());
  const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(clock().real_duration(left)).count();
  return static_cast<int>(std::clamp<int64_t>(real, 1, kStatusEveryMs));
}

}  // namespace qz
