#include "gateway/front_end_view.h"

#include "gateway/gateway.h"

namespace qz {

std::optional<GatewayLog::PendingLine> FrontEndView::take_pending_line() {
  return gateway_.log.take_pending_line();
}

JobCell FrontEndView::job_cell(int slot) const { return gateway_.jobs.job_cell(slot); }

int32_t FrontEndView::signal_level() const { return gateway_.link.SignalLevel.load(); }

std::string FrontEndView::service_centre_number() const { return gateway_.link.service_centre_number(); }

int32_t FrontEndView::service_centre_type() const { return gateway_.link.service_centre_type(); }

}  // namespace qz
