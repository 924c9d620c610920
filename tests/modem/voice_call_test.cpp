#include "modem/voice_call.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem/modem_link.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using sim::CallOutcome;
using sim::CommandRule;
using Lines = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class VoiceCallTest : public ::testing::Test {
 protected:
  VoiceCallTest() {
    h.set("IncomingEnable", "0");
    h.set("QualityPollEverySecs", "1000");
  }
  void start(const std::string& hold_seconds) {
    h.set("VoiceCallDuration", hold_seconds);
    ASSERT_TRUE(h.start_and_forget_startup());
  }
  int call(const std::string& number) { return voice_call(h.link(), number); }

  test::ModemHarness h;
};

TEST_F(VoiceCallTest, AnsweredCallIsHeldThenHungUp) {
  start("3");
  EXPECT_EQ(call("0791234567"), 0);
  EXPECT_EQ(h.modem.command_lines(), (Lines{"at+colp=1", "atd0791234567;", "at+chup"}));
  ASSERT_EQ(h.modem.calls().size(), 1u);
  EXPECT_EQ(h.modem.calls()[0].number, "0791234567");
  EXPECT_TRUE(h.modem.state().colp);
}

TEST_F(VoiceCallTest, ZeroHoldHangsUpAtOnceAndTheNumberIsDialledAsWritten) {
  h.set("CapitalizeCommands", "1");
  start("0");
  // The modem skips blanks in a dial string; the number goes out as written.
  EXPECT_EQ(call("079 123 45 67"), 0);
  EXPECT_EQ(h.modem.command_lines(), (Lines{"AT+COLP=1", "ATD079 123 45 67;", "AT+CHUP"}));
}

TEST_F(VoiceCallTest, CallThatIsNeverAnsweredFailsWithoutAHangUp) {
  start("1");
  h.modem.configure([](sim::ModemConfig& c) {
    c.call.outcome = CallOutcome::Busy;
    c.call.times = 1;
  });
  EXPECT_EQ(call("0791234567"), -1);
  EXPECT_TRUE(
      contains(h.daily_log(), "Unable to call number 0791234567 (\"ATD0791234567;\" no response)"));

  h.modem.configure([](sim::ModemConfig& c) {
    c.call.outcome = CallOutcome::Never;
    c.call.times = 1;
  });
  EXPECT_EQ(call("0797654321"), -1);
  EXPECT_TRUE(
      contains(h.daily_log(), "Unable to call number 0797654321 (\"ATD0797654321;\" no response)"));
  EXPECT_EQ(h.modem.count_commands("AT+CHUP"), 0u);
  EXPECT_EQ(h.modem.calls().size(), 2u);
}

TEST_F(VoiceCallTest, CalledPartyHangingUpDuringTheHoldBreaksTheCall) {
  start("60");
  // NO CARRIER comes almost with the answer: before the hold, or early in it.
  h.modem.configure([](sim::ModemConfig& c) { c.call.hang_up_after = 1ms; });
  EXPECT_EQ(call("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "Connection broken with number 0791234567"));
  EXPECT_EQ(h.modem.count_commands("AT+CHUP"), 0u);

  // Answer and hang-up in one burst: NO CARRIER is parsed before the hold begins.
  h.modem.add_rule(CommandRule::replace("D", "\r\nOK\r\n\r\nNO CARRIER\r\n", 1));
  EXPECT_EQ(call("0797654321"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "Connection broken with number 0797654321"));
  EXPECT_EQ(h.modem.count_commands("AT+CHUP"), 0u);
}

TEST_F(VoiceCallTest, UnansweredSetUpOrHangUpFails) {
  start("0");
  h.modem.add_rule(CommandRule::ignore("+COLP", 1));
  EXPECT_EQ(call("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "No answer from command \"at+colp=1\""));
  EXPECT_TRUE(h.modem.calls().empty());

  h.modem.add_rule(CommandRule::ignore("+CHUP"));
  EXPECT_EQ(call("0791234567"), -1);
  EXPECT_EQ(h.modem.count_commands("AT+CHUP"), 2u);
  EXPECT_TRUE(contains(h.daily_log(), "Unable to hang up (called number 0791234567)"));
}

TEST_F(VoiceCallTest, NumbersThatAreNotDialableNeverReachTheModem) {
  start("0");
  for (const std::string number : {"0791;H", "0791\rATH", "079\"1", "0791x", "", " ", "07+91"}) {
    EXPECT_EQ(call(number), -1) << number;
  }
  EXPECT_TRUE(h.modem.command_lines().empty());
  EXPECT_TRUE(contains(h.daily_log(), "Invalid tel number 0791;H"));
  EXPECT_EQ(call("*#31#0791"), 0);
  EXPECT_EQ(h.modem.command_lines(), (Lines{"at+colp=1", "atd*#31#0791;", "at+chup"}));
}

}  // namespace
}  // namespace qz
