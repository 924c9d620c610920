// The technical alarm: tells the outside world that the gateway itself is out of order
// by running "qzarun.cmd <TechAlarmNbr>", at most once per SleepMinAfterAlarm minutes,
// across restarts (the last time is kept in [WatchDog] LastAlarm of the settings file).
#pragma once

namespace qz {

class ModemLink;

// Safe from any thread. The callers log the cause; this logs what became of the alarm:
// held back by the hold-off (and until when), started, or not started and why. Only an
// alarm whose command started holds off the next one: a missing or broken qzarun.cmd
// leaves LastAlarm as it was, so the next technical alarm tries again.
void tech_alarm(ModemLink& link);

}  // namespace qz
