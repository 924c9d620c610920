// A modem that answers but never registers on the network (SIM blocked, no antenna, the
// contract ended) fails every start, and the gateway, restarted again and again, would
// never say so to anyone. The registration failures are remembered across restarts in the
// [WatchDog] section of the settings file, beside LastAlarm: NoNetworkSince, the time of
// the first failure in a row, and NoNetworkLast, the latest. Once they have gone on for
// kNoNetworkAlarmAfterSeconds the technical alarm is raised, with its usual hold-off.
#pragma once

#include <cstdint>

namespace qz {

class ModemLink;

inline constexpr int64_t kNoNetworkAlarmAfterSeconds = 300;
// Two failures further apart than this are not in a row: the gateway did not run between.
inline constexpr int64_t kNoNetworkGapSeconds = 600;

// The modem did not register. Raises the technical alarm when it has failed since
// kNoNetworkAlarmAfterSeconds or longer.
void registration_failed(ModemLink& link);
// The modem registered: the failures in a row are over.
void registration_succeeded(ModemLink& link);

}  // namespace qz
