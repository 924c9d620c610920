#include "modem/tech_alarm.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>

#include "core/clock.h"
#include "core/profile_file.h"
#include "modem/modem_link.h"
#include "support/eventually.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

int64_t now_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
}

std::string window_stamp(int64_t seconds) {
  LocalTime t = local_time(std::chrono::system_clock::time_point(std::chrono::seconds(seconds)));
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
  return text;
}

class TechAlarmTest : public ::testing::Test {
 protected:
  TechAlarmTest() {
    h.set("IncomingEnable", "0");
    h.set("SleepMinAfterAlarm", "60");
  }
  ProfileFile ini() const { return ProfileFile(h.folder.path(), "QZGSMS.INI"); }
  std::string last_alarm() const { return ini().read_text("WatchDog", "LastAlarm", "<none>", 40); }
  void set_last_alarm(int64_t seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<uint32_t>(seconds));
    ini().write_text("WatchDog", "LastAlarm", text);
  }
  // What one alarm said in the window, without the date and time.
  std::vector<std::string> alarm() {
    tech_alarm(h.link());
    std::vector<std::string> texts;
    for (const auto& line : h.window_lines()) texts.push_back(line.substr(20));
    return texts;
  }

  test::ModemHarness h;
};

TEST_F(TechAlarmTest, AnAlarmHeldBackSaysUntilWhenAndOneLetThroughHoldsOffTheNext) {
  h.install_recording_command("qzarun.cmd");
  ASSERT_TRUE(h.start_and_forget_startup());
  const int64_t last = now_seconds() - 30 * 60;
  set_last_alarm(last);
  EXPECT_EQ(alarm(), std::vector<std::string>{"Technical alarm held back until " + window_stamp(last + 3600) +
                                              ": the last one was at " + window_stamp(last) +
                                              " (SleepMinAfterAlarm 60)"});
  const int64_t future = now_seconds() + 600;
  set_last_alarm(future);
  EXPECT_EQ(alarm(), std::vector<std::string>{"Technical alarm held back until " + window_stamp(future + 3600) +
                                              ": the last one is dated " + window_stamp(future) +
                                              ", in the future (SleepMinAfterAlarm 60)"});
  EXPECT_EQ(h.command_output("qzarun.cmd"), "");

  set_last_alarm(now_seconds() - 61 * 60);
  EXPECT_EQ(alarm(), std::vector<std::string>{"Technical alarm: qzarun.cmd 8999 started"});
  EXPECT_TRUE(test::eventually([&] { return h.command_output("qzarun.cmd") == "8999\n"; }));
  EXPECT_LE(std::llabs(std::stoll(last_alarm(), nullptr, 16) - now_seconds()), 5);
  EXPECT_EQ(alarm().at(0).rfind("Technical alarm held back until ", 0), 0u);
}

TEST_F(TechAlarmTest, ACommandThatCannotStartIsSaidAndDoesNotHoldOffTheNextAttempt) {
  ASSERT_TRUE(h.start_and_forget_startup());
  EXPECT_EQ(alarm(), std::vector<std::string>{"Could not start qzarun.cmd 8999 for the technical alarm: No such file "
                                              "or directory; the next technical alarm tries again"});
  EXPECT_EQ(last_alarm(), "<none>");

  test::write_file(h.folder / "qzarun.cmd", "#!/bin/sh\n");
  ::chmod((h.folder / "qzarun.cmd").c_str(), 0644);
  EXPECT_EQ(alarm().at(0).rfind("Could not start qzarun.cmd 8999 for the technical alarm: ", 0), 0u);
  EXPECT_EQ(last_alarm(), "<none>");

  // Once the command is there, the very next alarm goes out.
  h.install_recording_command("qzarun.cmd");
  EXPECT_EQ(alarm(), std::vector<std::string>{"Technical alarm: qzarun.cmd 8999 started"});
  EXPECT_TRUE(test::eventually([&] { return h.command_output("qzarun.cmd") == "8999\n"; }));
}

}  // namespace
}  // namespace qz
