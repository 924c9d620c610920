// What a front end reads from a running gateway: the window program and qzgsmsd use the
// same surface.
//
// Worker threads never call into a front end. They store what changed and tell it with a
// number through its WindowSink: 0 a window-log line waits, 1 to 30 job cell n - 1
// changed, 99 a new signal level. The front end then reads, on its own thread:
//
//   0       take_pending_line()  one line per notification, until none is left
//   1..30   job_cell(n - 1)      the cell's image (JobCellImage) and label
//   99      signal_level()       0 to 31
//
// and whenever it likes, the SMS service centre the modem uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/gateway_log.h"
#include "jobs/job_table.h"

namespace qz {

class Gateway;

class FrontEndView {
 public:
  explicit FrontEndView(Gateway& gateway) : gateway_(gateway) {}

  // The oldest waiting window-log line (dated, with its color), or none.
  std::optional<GatewayLog::PendingLine> take_pending_line();
  JobCell job_cell(int slot) const;
  int32_t signal_level() const;
  std::string service_centre_number() const;
  int32_t service_centre_type() const;

 private:
  Gateway& gateway_;
};

}  // namespace qz
