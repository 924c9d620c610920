// Windows has no systemd: nobody listens for notifications, nothing watches, and standard
// output is never the journal.
#include "core/service_manager.h"

namespace qz {

bool service_manager_listens() { return false; }
bool notify_service_manager(const std::string&) { return false; }
int64_t service_watchdog_ms() { return 0; }
bool standard_output_is_journal() { return false; }

}  // namespace qz
