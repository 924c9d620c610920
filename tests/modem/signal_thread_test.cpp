#include "modem/signal_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "modem/modem_link.h"
#include "support/eventually.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using sim::CommandRule;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using test::eventually;

// A quality reply carrying `level`, with or without its OK.
CommandRule quality(int level, int times, bool ok = true) {
  return CommandRule::replace(
      "+CSQ", "\r\n+CSQ: " + std::to_string(level) + ",99\r\n" + (ok ? "\r\nOK\r\n" : ""), times);
}

TEST(ParseSignalLevel, ReadsTheFirstValueAndTreatsAnythingElseAsNoSignal) {
  EXPECT_EQ(parse_signal_level("+CSQ: 17,99\r"), 17);
  EXPECT_EQ(parse_signal_level("ERROR\r+CSQ: 31,0\r"), 31);
  EXPECT_EQ(parse_signal_level("+CSQ: 0,0\r"), 0);
  EXPECT_EQ(parse_signal_level("+CSQ: 99,99\r"), 0);
  // Garbled or cut replies: never a level the meter cannot show, never a read past the end.
  EXPECT_EQ(parse_signal_level(""), 0);
  EXPECT_EQ(parse_signal_level("+CSQ:"), 0);
  EXPECT_EQ(parse_signal_level("+CSQ: "), 0);
  EXPECT_EQ(parse_signal_level("+CSQ: x,1"), 0);
  EXPECT_EQ(parse_signal_level("+CSQ: 45,99"), 0);
  EXPECT_EQ(parse_signal_level("+CSQ: -4,99"), 0);
  EXPECT_EQ(parse_signal_level("+CSQ: 2147483648"), 0);
  EXPECT_EQ(parse_signal_level("+CSQ 17,99\r"), 0);
}

class SignalThreadTest : public ::testing::Test {
 protected:
  SignalThreadTest() {
    h.set("IncomingEnable", "0");
    h.set("QualityPollEverySecs", "1");
    h.install_recording_command("qzarun.cmd");
  }
  // Once the n-th quality poll has been sent, every poll before it is complete.
  void wait_for_poll(std::size_t n) {
    ASSERT_TRUE(h.modem.wait_for_command("AT+CSQ", 20s, n)) << "poll " << n;
  }
  // Registration attempts of the signal monitor (the start-up sends the first one).
  std::size_t registrations() { return h.modem.count_commands("AT+COPS=0,0") - 1; }

  test::ModemHarness h;
};

TEST_F(SignalThreadTest, EveryPollPublishesTheLevelAndNotifiesTheWindow) {
  h.modem.configure([](sim::ModemConfig& c) { c.signal = 17; });
  ASSERT_TRUE(h.start({SignalThread}));
  wait_for_poll(3);
  EXPECT_EQ(h.link().SignalLevel.load(), 17);
  EXPECT_GE(h.window.count(99), 2);
  EXPECT_EQ(registrations(), 0u);

  // A reply whose OK never comes is used all the same.
  h.modem.add_rule(quality(23, -1, false));
  std::size_t polls = h.modem.count_commands("AT+CSQ");
  wait_for_poll(polls + 2);
  EXPECT_EQ(h.link().SignalLevel.load(), 23);
  EXPECT_EQ(h.exit_code(), -1);
}

TEST_F(SignalThreadTest, UndetectableSignalReadsZeroAndAsksForRegistration) {
  h.modem.configure([](sim::ModemConfig& c) { c.signal = 99; });
  ASSERT_TRUE(h.start({SignalThread}));
  wait_for_poll(3);
  EXPECT_EQ(h.link().SignalLevel.load(), 0);
  EXPECT_GE(registrations(), 2u);
  EXPECT_EQ(h.exit_code(), -1) << "answered registrations keep the gateway up";
}

TEST_F(SignalThreadTest, LevelReadBetweenTwoFailedRegistrationsForgivesTheFirst) {
  h.modem.configure([](sim::ModemConfig& c) {
    c.rules = {CommandRule::delayed("+COPS", 0ms, 1),  // the start-up's registration
               CommandRule::ignore("+COPS", 2), quality(0, 1), quality(15, 1), quality(0, 1)};
  });
  ASSERT_TRUE(h.start({SignalThread}));
  wait_for_poll(5);
  EXPECT_EQ(registrations(), 2u);
  EXPECT_EQ(h.link().SignalLevel.load(), 20);
  EXPECT_EQ(h.exit_code(), -1);
  EXPECT_FALSE(contains(h.daily_log(), "Signal lost"));
}

TEST_F(SignalThreadTest, SecondFailedRegistrationInARowRaisesTheAlarmAndEnds) {
  h.modem.configure([](sim::ModemConfig& c) {
    c.signal = 0;
    // The start-up's registration and the first poll's are answered; none after.
    c.rules = {CommandRule::delayed("+COPS", 0ms, 2), CommandRule::ignore("+COPS")};
  });
  ASSERT_TRUE(h.start({SignalThread}));
  h.window_lines();
  ASSERT_TRUE(h.wait_for_log("Signal lost, exiting for reinit", 20s));
  EXPECT_EQ(registrations(), 3u);
  ASSERT_TRUE(eventually([&] { return h.exit_code() != -1; }));
  EXPECT_EQ(h.exit_code(), 1);
  EXPECT_TRUE(eventually([&] { return h.command_output("qzarun.cmd") == "8999\n"; }))
      << h.command_output("qzarun.cmd");
  bool red_line = false;
  for (const auto& line : h.window_lines())
    red_line |= contains(line, "Signal lost, exiting for reinit");
  EXPECT_TRUE(red_line);
  // Said before the wait, in the order it happens.
  std::string log = h.daily_log();
  std::size_t lost = log.find("Signal lost, exiting for reinit");
  std::size_t alarm = log.find("Technical alarm: qzarun.cmd 8999 started");
  std::size_t end = log.find("The gateway ends in 20 s with exit code 1, for its supervisor to start it again");
  EXPECT_LT(lost, alarm);
  EXPECT_LT(alarm, end);
  EXPECT_NE(end, std::string::npos);
}

TEST_F(SignalThreadTest, PeriodUnderASecondIsRaisedToOneSecond) {
  h.set("QualityPollEverySecs", "0");
  ASSERT_TRUE(h.start({SignalThread}));
  wait_for_poll(2);
  EXPECT_TRUE(
      contains(h.daily_log(), "QualityPollEverySecs gives 0 ms, polling the signal every 1000 ms"));
  EXPECT_EQ(h.link().SignalLevel.load(), 20);
}

}  // namespace
}  // namespace qz
