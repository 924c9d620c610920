// The technical alarm: tells the outside world that the gateway itself is out of order
// by running "qzarun.cmd <TechAlarmNbr>", at most once per SleepMinAfterAlarm minutes,
// across restarts (the last time is kept in [WatchDog] LastAlarm of the settings file).
#pragma once

namespace qz {

class ModemLink;

// Safe from any thread; logs nothing of its own (callers log the cause).
void tech_alarm(ModemLink& link);

}  // namespace qz
