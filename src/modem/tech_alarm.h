// The technical alarm: tells the outside world that the gateway itself is out of order
// by running "qzarun.cmd <TechAlarmNbr>", at most once per SleepMinAfterAlarm minutes,
// across restarts (the last time is kept in [WatchDog] LastAlarm of the settings file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qz {

class ModemLink;

// Safe from any thread. The callers log the cause; this logs what became of the alarm:
// held back by the hold-off (and until when), started, or not started and why. Only an
// alarm whose command started holds off the next one: a missing or broken qzarun.cmd
// leaves LastAlarm as it was, so the next technical alarm tries again.
void tech_alarm(ModemLink& link);

// When the last technical alarm started and until when it holds off the next one, in
// seconds since 1970 (both 0 when none is recorded), as LastAlarm tells it.
struct TechAlarmTimes {
  int64_t last = 0;
  int64_t held_until = 0;
};
TechAlarmTimes tech_alarm_times(ModemLink& link);

// A time of the [WatchDog] section as LastAlarm keeps it: exactly 8 hexadecimal digits,
// seconds since 1970. nullopt for anything else.
std::optional<int64_t> parse_watchdog_time(const std::string& text);
std::string watchdog_time_text(int64_t seconds);

}  // namespace qz
