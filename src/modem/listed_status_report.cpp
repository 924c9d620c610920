#include <string>

#include "modem/incoming.h"
#include "modem/modem_link.h"
#include "modem/sms_deliver.h"
#include "modem/sms_status_report.h"

namespace qz {

void handle_listed_status_report(ModemLink& link, int index, std::string_view pdu_hex) {
  // A modem that keeps delivery reports in its store instead of passing them on: each is
  // matched to its message as one passed on would be, and leaves the store.
  if (link.settings.DeliveryReports != 0) {
    if (const std::optional<StatusReport> report = decode_status_report_pdu(pdu_hex)) {
      link.delivery_reports.on_report(*report);
      delete_message(link.modem, index, 1000, true);
      return;
    }
  }
  const std::optional<std::string> recipient = status_report_recipient(pdu_hex);
  // The address a status report carries is the one the reported message went to.
  drop_listed_message(link, index, recipient ? "about \"" + *recipient + "\"" : std::string("about an unknown number"),
                      pdu_hex, "a status report");
}

}  // namespace qz
