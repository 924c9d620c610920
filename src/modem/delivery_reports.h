// Delivery reports matched to the messages they are about (DeliveryReports=1). Each SMS
// asks for a report; the modem gives each part a message reference when it takes it. The
// network's reports name that reference and come seconds or days later, in any order,
// while other messages go out: a message counts as delivered once every part is, and as
// not delivered at its first part the network gave up on. Each message has one outcome.
//
// A report can come before the sender has heard the part's reference (the network is
// quicker than the modem's "OK"), so a report nobody waits for is held for a minute in
// case its part is announced. References run 0..255 and are then used again: a newer
// message under a reference takes the place of the older one. A report no message takes
// is written to the daily log only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "modem/sms_status_report.h"

namespace qz {

class GatewayLog;
class GatewayStatus;

class DeliveryReports {
 public:
  // A message's outcome, which the gateway also hands to the command delivery_report.
  struct Outcome {
    std::string job_file;  // the job file's name; empty for a message sent from the window
    std::string number;
    bool delivered = false;
    std::string reason;    // why not, in words
    std::string time;      // "YYYY-MM-DD hh:mm:ss", as the network gave it
    // "delivered" or "not delivered: <reason>": the command's result argument.
    std::string result() const { return delivered ? "delivered" : "not delivered: " + reason; }
  };
  using OutcomeHandler = std::function<void(const Outcome&)>;

  // One message on its way out; opaque to the sender.
  struct Message;
  using Ticket = std::shared_ptr<Message>;

  // `handler` is called once per outcome, after it was logged and counted, without a lock.
  DeliveryReports(GatewayLog& log, GatewayStatus& status, OutcomeHandler handler);

  // A message to `number` starts going out.
  Ticket begin(const std::string& job_file, const std::string& number);
  // The modem took a part of it under `reference` (-1: it named none; that part cannot
  // be waited for).
  void add_part(const Ticket& message, int reference);
  // All its parts went out (`sent`), or the try ended short: then it is forgotten, as its
  // parts go out again with the next try under new references.
  void end(const Ticket& message, bool sent);

  // A report the network sent.
  void on_report(const StatusReport& report);

  // How many messages still wait for a report.
  std::size_t waiting() const;

 private:
  struct HeldReport {
    StatusReport report;
    int64_t until_ms;
  };
  // Applies `report` to the message it is about; the outcome when it decides one. Takes
  // its own hold of the message: the entry it came from is erased on the way.
  std::optional<Outcome> apply(Ticket message, const StatusReport& report);
  void announce(const Outcome& outcome);

  GatewayLog& log_;
  GatewayStatus& status_;
  OutcomeHandler handler_;
  mutable std::mutex mutex_;
  std::map<int, Ticket> by_reference_;
  std::deque<HeldReport> held_;
};

}  // namespace qz
