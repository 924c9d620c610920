#include "modem/tech_alarm.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "core/clock.h"
#include "modem/modem_link.h"
#include "modem/child_process.h"
#include "modem/command_line.h"

namespace qz {

namespace {

// Eight hexadecimal digits, or nothing: anything else does not hold the alarm off.
bool parse_alarm_time(const std::string& text, int64_t& seconds) {
  if (text.size() != 8) return false;
  uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  seconds = value;
  return true;
}

}  // namespace

void tech_alarm(ModemLink& link) {
  int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
  std::string last = link.settings_file.read_text("WatchDog", "LastAlarm", "", 40);
  int64_t last_time = 0;
  if (parse_alarm_time(last, last_time) &&
      now - last_time < int64_t{link.settings.SleepMinAfterAlarm} * 60) {
    return;
  }

  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%08X", static_cast<uint32_t>(now));
  link.settings_file.write_text("WatchDog", "LastAlarm", stamp);

  ChildProcess alarm(build_argv("qzarun.cmd %d", {std::to_string(link.settings.TechAlarmNbr)}), link.folder);
  if (alarm.start(true, true)) alarm.detach();
}

}  // namespace qz
