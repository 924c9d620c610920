#include <string>

#include "modem/incoming.h"
#include "modem/sms_deliver.h"

namespace qz {

void handle_listed_status_report(ModemLink& link, int index, std::string_view pdu_hex) {
  const std::optional<std::string> recipient = status_report_recipient(pdu_hex);
  // The address a status report carries is the one the reported message went to.
  drop_listed_message(link, index, recipient ? "about \"" + *recipient + "\"" : std::string("about an unknown number"),
                      pdu_hex, "a status report");
}

}  // namespace qz
