#include "service_watch.h"

#include <algorithm>

#include "core/clock.h"
#include "core/service_manager.h"
#include "core/text.h"
#include "gateway/gateway.h"

namespace {

// STATUS= changes are sent at most this often.
constexpr std::chrono::milliseconds kStatusPeriod(1000);
// Pings are sent at most this often, whatever WatchdogSec says: a watchdog of a few
// microseconds would otherwise keep the main loop pinging without pause.
constexpr int64_t kShortestPingPeriodMs = 200;

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// Dated as the window's lines are.
std::string dated(const std::string& text) { return qz::window_stamp(qz::local_time(qz::clock().now())) + " " + text; }

}  // namespace

ServiceWatch::ServiceWatch(qz::Gateway& gateway)
    : gateway_(gateway),
      listening_(qz::service_manager_listens()),
      // Twice per interval, as sd_watchdog_enabled(3) advises.
      ping_period_(listening_ && qz::service_watchdog_ms() > 0
                       ? std::max<int64_t>(kShortestPingPeriodMs, qz::service_watchdog_ms() / 2)
                       : 0) {}

int ServiceWatch::timeout_ms() const {
  if (!listening_) return -1;
  auto period = kStatusPeriod;
  if (ping_period_.count() > 0) period = std::min(period, ping_period_);
  return static_cast<int>(std::max<int64_t>(period.count(), 1));
}

void ServiceWatch::started() {
  started_ = true;
  if (!listening_) return;
  status_sent_ = summary();
  status_sent_at_ = Steady::now();
  qz::tell_service_ready(status_sent_);
}

void ServiceWatch::line_printed(const std::string& line, qz::Color color) {
  if (color == qz::kGreen || color == qz::kRed) last_result_ = line;
  if (listening_) qz::tell_service_line(line, color == qz::kRed);
}

void ServiceWatch::stopping() {
  stopping_ = true;
  if (!listening_) return;
  status_sent_ = summary();
  status_sent_at_ = Steady::now();
  qz::tell_service_stopping(status_sent_);
}

std::string ServiceWatch::summary() const {
  if (stopping_) return "Stopping: no new job is started; the send in progress ends and is reported";
  if (!started_) return "Starting: bringing the modem up";
  std::string text;
  if (!stuck_.empty()) text = "Stuck: " + stuck_ + " shows no progress. ";
  const int level = gateway_.link.SignalLevel.load();
  if (!signal_read_) {
    text += "Signal not read yet, registered at the start";
  } else {
    // The signal thread takes a level of 0 for a lost network and registers again.
    text += "Signal " + std::to_string(level) + "/31, " + (level > 0 ? "registered" : "not registered");
  }
  const int jobs = gateway_.jobs.count();
  text += ", " + std::to_string(jobs) + (jobs == 1 ? " job" : " jobs") + " in progress";
  if (!last_result_.empty()) text += ", last: " + last_result_;
  return text;
}

std::optional<ServiceWatch::Notice> ServiceWatch::tick() {
  if (!listening_) return std::nullopt;
  std::optional<Notice> notice;
  const Steady::time_point now = Steady::now();
  // The modem dialogue and the orderly stop can each take minutes.
  if (!started_ || stopping_) qz::tell_service_progress();

  if (ping_period_.count() > 0) {
    std::string stuck = joined(gateway_.workers.progress().overdue(qz::clock().steady_ms()));
    if (stuck != stuck_) {
      if (!stuck.empty()) {
        notice = Notice{dated(stuck + " shows no progress: systemd is no longer told that the gateway is alive"),
                        qz::kRed};
      } else {
        notice = Notice{dated("Every worker shows progress again"), qz::kBlack};
      }
      stuck_ = stuck;
    }
    if (stuck_.empty() && now - pinged_at_ >= ping_period_) {
      qz::tell_service_alive();
      pinged_at_ = now;
    }
  }

  if (std::string status = summary(); status != status_sent_ && now - status_sent_at_ >= kStatusPeriod) {
    qz::tell_service_status(status);
    status_sent_ = status;
    status_sent_at_ = now;
  }
  return notice;
}
