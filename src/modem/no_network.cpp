#include "modem/no_network.h"

#include <chrono>
#include <optional>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "modem/modem_link.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace {

constexpr const char* kSection = "WatchDog";
constexpr const char* kSinceKey = "NoNetworkSince";
constexpr const char* kLastKey = "NoNetworkLast";

std::optional<int64_t> read_time(ModemLink& link, const char* key) {
  return parse_watchdog_time(link.settings_file.read_text(kSection, key, "", 40));
}

}  // namespace

void registration_failed(ModemLink& link) {
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
  std::optional<int64_t> since = read_time(link, kSinceKey);
  const std::optional<int64_t> last = read_time(link, kLastKey);
  // A clock set back, or a gap in which the gateway did not run, starts a new row.
  if (!since || !last || *since > now || *last > now || now - *last > kNoNetworkGapSeconds) since = now;
  link.settings_file.write_text(kSection, kSinceKey, watchdog_time_text(*since));
  link.settings_file.write_text(kSection, kLastKey, watchdog_time_text(now));

  const int64_t minutes = (now - *since) / 60;
  if (now - *since < kNoNetworkAlarmAfterSeconds) {
    link.log.WriteDailyLog("The modem has not registered on the network for " + std::to_string(minutes) +
                           " min (NoNetworkSince in [WatchDog])");
    return;
  }
  link.log.Log("The modem has not registered on the network for " + std::to_string(minutes) +
                   " min, over several starts: no alarm can leave this site",
               kRed);
  tech_alarm(link);
}

void registration_succeeded(ModemLink& link) {
  if (link.settings_file.read_text(kSection, kSinceKey, "", 40).empty()) return;
  link.settings_file.write_text(kSection, kSinceKey, "");
  link.settings_file.write_text(kSection, kLastKey, "");
}

}  // namespace qz
