#include "modem/tech_alarm.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "core/system_error.h"
#include "core/text.h"
#include "modem/modem_link.h"
#include "process/child_process.h"
#include "process/command_line.h"

namespace qz {

namespace {

// Eight hexadecimal digits, or nothing: anything else does not hold the alarm off.
bool parse_alarm_time(const std::string& text, int64_t& seconds) {
  std::optional<int64_t> parsed = parse_watchdog_time(text);
  if (parsed) seconds = *parsed;
  return parsed.has_value();
}

// Local time as the window log dates its lines.
std::string local_stamp(int64_t seconds) {
  return window_stamp(local_time(std::chrono::system_clock::time_point(std::chrono::seconds(seconds))));
}

}  // namespace

std::optional<int64_t> parse_watchdog_time(const std::string& text) {
  if (text.size() != 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return int64_t{value};
}

std::string watchdog_time_text(int64_t seconds) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%08X", static_cast<uint32_t>(seconds));
  return stamp;
}

TechAlarmTimes tech_alarm_times(ModemLink& link) {
  TechAlarmTimes times;
  if (parse_alarm_time(link.settings_file.read_text("WatchDog", "LastAlarm", "", 40), times.last)) {
    times.held_until = times.last + int64_t{link.settings.SleepMinAfterAlarm} * 60;
  }
  return times;
}

void tech_alarm(ModemLink& link) {
  int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
  std::string last = link.settings_file.read_text("WatchDog", "LastAlarm", "", 40);
  int64_t last_time = 0;
  const int64_t hold_off = int64_t{link.settings.SleepMinAfterAlarm} * 60;
  if (parse_alarm_time(last, last_time) && now - last_time < hold_off) {
    std::string line = "Technical alarm held back until " + local_stamp(last_time + hold_off) + ": the last one ";
    line += last_time > now ? "is dated " + local_stamp(last_time) + ", in the future"
                            : "was at " + local_stamp(last_time);
    line += " (SleepMinAfterAlarm " + std::to_string(link.settings.SleepMinAfterAlarm) + ")";
    link.log.Log(line, kBlack);
    return;
  }

  ChildProcess alarm(build_argv("qzarun.cmd %d", {std::to_string(link.settings.TechAlarmNbr)}), link.folder);
  const std::string command = alarm.command_line();
  if (!alarm.start(true, true)) {
    link.log.Log("Could not start " + command + " for the technical alarm: " + error_text(alarm.error().code) +
                     "; the next technical alarm tries again",
                 kRed);
    return;
  }
  alarm.detach();
  link.log.Log("Technical alarm: " + command + " started", kBlack);

  errno = 0;
  if (!link.settings_file.write_text("WatchDog", "LastAlarm", watchdog_time_text(now))) {
    int error = errno != 0 ? errno : EIO;
    link.log.Log("Technical alarm: its time cannot be stored in " + link.settings_file.path().string() + " (" +
                     error_text(error) + "): the next one is not held off",
                 kRed);
  }
}

}  // namespace qz
