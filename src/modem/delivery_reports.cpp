#include "modem/delivery_reports.h"

#include <set>

#include "core/clock.h"
#include "core/colors.h"
#include "core/gateway_log.h"
#include "core/gateway_status.h"

namespace qz {

struct DeliveryReports::Message {
  std::string job_file;
  std::string number;
  int parts_waiting = 0;
  bool sending = true;     // parts may still be added
  bool finished = false;   // its outcome is decided
  std::optional<Outcome> decided;  // held back while parts are still being sent
  std::string last_time;
};

namespace {

// How long a report nobody waits for is held for a part about to be announced.
constexpr int64_t kHoldMs = 60000;
constexpr std::size_t kMaxHeld = 64;

// The same phone, written with or without its country code: the last nine digits agree.
bool same_phone(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return true;  // a report may leave out the recipient
  const auto digits = [](const std::string& n) {
    std::string d;
    for (char c : n) {
      if (c >= '0' && c <= '9') d += c;
    }
    return d.size() > 9 ? d.substr(d.size() - 9) : d;
  };
  return digits(a) == digits(b);
}

}  // namespace

DeliveryReports::DeliveryReports(GatewayLog& log, GatewayStatus& status, OutcomeHandler handler)
    : log_(log), status_(status), handler_(std::move(handler)) {}

DeliveryReports::Ticket DeliveryReports::begin(const std::string& job_file, const std::string& number) {
  auto message = std::make_shared<Message>();
  message->job_file = job_file;
  message->number = number;
  return message;
}

void DeliveryReports::add_part(const Ticket& message, int reference) {
  if (reference < 0 || reference > 255) return;
  std::optional<Outcome> outcome;
  {
    std::lock_guard lock(mutex_);
    by_reference_[reference] = message;
    ++message->parts_waiting;
    const int64_t now = clock().steady_ms();
    for (auto it = held_.begin(); it != held_.end();) {
      if (it->until_ms < now) {
        it = held_.erase(it);
      } else if (it->report.reference == reference && same_phone(message->number, it->report.recipient)) {
        const StatusReport early = it->report;
        held_.erase(it);
        outcome = apply(message, early);
        break;
      } else {
        ++it;
      }
    }
  }
  if (outcome) announce(*outcome);
}

void DeliveryReports::end(const Ticket& message, bool sent) {
  std::optional<Outcome> outcome;
  {
    std::lock_guard lock(mutex_);
    message->sending = false;
    if (!sent) {
      for (auto it = by_reference_.begin(); it != by_reference_.end();) {
        it = it->second == message ? by_reference_.erase(it) : std::next(it);
      }
      return;
    }
    if (message->decided) {
      outcome = message->decided;
    } else if (!message->finished && message->parts_waiting == 0 && !message->last_time.empty()) {
      message->finished = true;
      outcome = Outcome{message->job_file, message->number, true, "", message->last_time};
    }
  }
  if (outcome) announce(*outcome);
}

void DeliveryReports::on_report(const StatusReport& report) {
  std::optional<Outcome> outcome;
  {
    std::lock_guard lock(mutex_);
    auto it = by_reference_.find(report.reference);
    if (it == by_reference_.end() || !same_phone(it->second->number, report.recipient)) {
      if (held_.size() == kMaxHeld) held_.pop_front();
      held_.push_back({report, clock().steady_ms() + kHoldMs});
      log_.WriteDailyLog("Delivery report for message reference " + std::to_string(report.reference) + " to " +
                         (report.recipient.empty() ? "an unnamed number" : report.recipient) +
                         ", which no message waits for (yet): " + status_reason(report.status));
      return;
    }
    outcome = apply(it->second, report);
  }
  if (outcome) announce(*outcome);
}

std::optional<DeliveryReports::Outcome> DeliveryReports::apply(Ticket message, const StatusReport& report) {
  if (report.still_trying()) {
    log_.WriteDailyLog("Not yet delivered to " + message->number + " (" + status_reason(report.status) +
                       "): the network keeps trying");
    return std::nullopt;
  }
  by_reference_.erase(report.reference);
  if (message->finished) return std::nullopt;  // decided by an earlier part: said once
  if (report.delivered()) {
    --message->parts_waiting;
    message->last_time = report.discharged;
    if (message->parts_waiting > 0 || message->sending) return std::nullopt;
    message->finished = true;
    return Outcome{message->job_file, message->number, true, "", report.discharged};
  }
  message->finished = true;
  Outcome failed{message->job_file, message->number, false, status_reason(report.status), report.discharged};
  // While parts still go out, the try may yet be cut short and sent again.
  if (message->sending) {
    message->decided = failed;
    return std::nullopt;
  }
  return failed;
}

void DeliveryReports::announce(const Outcome& outcome) {
  const std::string job = outcome.job_file.empty() ? "" : " (" + outcome.job_file + ")";
  if (outcome.delivered) {
    ++status_.delivered;
    log_.Log("delivered to " + outcome.number + " at " + outcome.time + job, kGreen);
  } else {
    ++status_.not_delivered;
    log_.Log("not delivered to " + outcome.number + ": " + outcome.reason + job, kRed);
  }
  if (handler_) handler_(outcome);
}

std::size_t DeliveryReports::waiting() const {
  std::lock_guard lock(mutex_);
  std::set<const Message*> messages;
  for (const auto& [reference, message] : by_reference_) {
    if (!message->finished) messages.insert(message.get());
  }
  return messages.size();
}

}  // namespace qz
