#include <gtest/gtest.h>

#include "gateway/gateway.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using sim::CommandRule;

std::size_t count_of(const std::vector<std::string>& lines, const std::string& prefix) {
  std::size_t n = 0;
  for (const auto& line : lines) n += line.rfind(prefix, 0) == 0;
  return n;
}

class InitGsmsTest : public ::testing::Test {
 protected:
  InitGsmsTest() {
    h.install_recording_command("qzarun.cmd");
    h.set("IncomingEnable", "0");
  }
  test::GatewayHarness h;
};

TEST_F(InitGsmsTest, ReadyModemIsTalkedIntoTextModeAndWorkersStart) {
  h.modem.configure([](sim::ModemConfig& c) { c.mms.supported = true; });
  h.set("IncomingEnable", "1");
  h.set("MMSURLServer", "http://mms.example/servlets/mms");
  ASSERT_TRUE(h.start());
  EXPECT_EQ(h.exit_code(), -1);

  auto sent = h.modem.command_lines();
  EXPECT_EQ(count_of(sent, "at+cpin="), 0u) << "a ready SIM gets no PIN";
  EXPECT_EQ(count_of(sent, "at+cfun=1"), 0u);
  EXPECT_EQ(count_of(sent, "at+cops=0,0"), 1u);
  EXPECT_EQ(count_of(sent, "at+cscs=\"GSM\""), 1u);
  EXPECT_EQ(count_of(sent, "at+KMMCNF=1,\"http://mms.example/servlets/mms\""), 1u);
  EXPECT_EQ(count_of(sent, "at+KMMCNF=3,"), 1u);
  EXPECT_EQ(h.modem.state().message_format, 1);
  EXPECT_FALSE(h.modem.state().echo);
  EXPECT_FALSE(h.gateway().link.service_centre_number().empty());

  std::string log = h.daily_log();
  std::size_t report = log.find("ReportThread started");
  std::size_t processing = log.find("ProcessingThread started");
  std::size_t reader = log.find("ReadJobsThread started");
  std::size_t incoming = log.find("IncomingThread started");
  std::size_t signal = log.find("SignalThread started");
  ASSERT_NE(signal, std::string::npos);
  EXPECT_LT(report, processing);
  EXPECT_LT(processing, reader);
  EXPECT_LT(reader, incoming);
  EXPECT_LT(incoming, signal);
}

TEST_F(InitGsmsTest, SilentModemRaisesTheTechnicalAlarmAndEndsWithCode1) {
  h.modem.set_silent(true);
  h.set("Port", h.modem.slave_path());
  EXPECT_FALSE(h.start());
  EXPECT_EQ(h.exit_code(), 1);
  std::string expected = "** init_gsms ** ERROR: GSM modem not found on port " + h.modem.slave_path();
  EXPECT_NE(h.daily_log().find(expected), std::string::npos);
  EXPECT_EQ(count_of(h.window_lines(), ""), 2u);  // InputThread started and the error
  // The recovery sent ESC and a reset before giving up.
  EXPECT_EQ(count_of(h.modem.command_lines(), "at&f"), 1u);
  EXPECT_EQ(h.command_output("qzarun.cmd"), "8999\n");
}

TEST_F(InitGsmsTest, PortThatCannotBeOpenedIsAHardFailure) {
  h.set("Port", (h.folder / "no-such-device").string());
  EXPECT_FALSE(h.start());
  EXPECT_EQ(h.exit_code(), 1);
  EXPECT_NE(h.daily_log().find("** init_gsms ** ERROR: cannot open "), std::string::npos);
  EXPECT_EQ(h.command_output("qzarun.cmd"), "8999\n");
}

TEST_F(InitGsmsTest, PinIsEnteredWhenTheSimAsksAndTheLogNeverShowsIt) {
  h.modem.configure([](sim::ModemConfig& c) { c.pin = "4711"; });
  h.set("PIN", "4711");
  ASSERT_TRUE(h.start());
  EXPECT_EQ(count_of(h.modem.command_lines(), "at+cpin=\"4711\""), 1u);
  EXPECT_TRUE(h.modem.state().sim_ready);
  EXPECT_EQ(h.daily_log().find("4711"), std::string::npos);
}

TEST_F(InitGsmsTest, SimAskingForAPinWithoutOneConfiguredEndsTheStart) {
  h.modem.configure([](sim::ModemConfig& c) { c.pin = "4711"; });
  EXPECT_FALSE(h.start());
  EXPECT_EQ(h.exit_code(), 1);
  EXPECT_NE(h.daily_log().find("** init_gsms ** ERROR: PIN not entered."), std::string::npos);
  EXPECT_EQ(h.command_output("qzarun.cmd"), "") << "no technical alarm for a SIM problem";
}

TEST_F(InitGsmsTest, PinSettingThatCouldBreakTheCommandIsNeverSent) {
  h.modem.configure([](sim::ModemConfig& c) { c.pin = "4711"; });
  h.set("PIN", "47\";+1");
  EXPECT_FALSE(h.start());
  EXPECT_EQ(count_of(h.modem.command_lines(), "at+cpin=\""), 0u);
  EXPECT_NE(h.daily_log().find("Cannot enter PIN code"), std::string::npos);
}

TEST_F(InitGsmsTest, ModemSwitchedOffIsSwitchedOnAndErrorToTheQueryIsTolerated) {
  h.modem.configure([](sim::ModemConfig& c) { c.functionality = 0; });
  h.modem.power_cycle();
  ASSERT_TRUE(h.start());
  EXPECT_EQ(count_of(h.modem.command_lines(), "at+cfun=1"), 1u);

  test::GatewayHarness again;
  again.set("IncomingEnable", "0");
  again.modem.add_rule(CommandRule::error("+CFUN?"));
  ASSERT_TRUE(again.start());
  EXPECT_EQ(count_of(again.modem.command_lines(), "at+cfun=1"), 0u);
}

TEST_F(InitGsmsTest, FiveFailedRegistrationsEndTheStart) {
  h.modem.configure([](sim::ModemConfig& c) { c.network = sim::NetworkMode::NoAnswer; });
  EXPECT_FALSE(h.start());
  EXPECT_EQ(h.exit_code(), 1);
  EXPECT_EQ(count_of(h.modem.command_lines(), "at+cops=0,0"), 5u);
  EXPECT_NE(h.daily_log().find("** init_gsms ** ERROR: init of GSM modem on port"), std::string::npos);
}

TEST_F(InitGsmsTest, ModemWithoutMmsStartsWithAWarning) {
  h.modem.configure([](sim::ModemConfig& c) { c.mms.supported = false; });
  ASSERT_TRUE(h.start());
  auto lines = h.window_lines();
  bool warned = false;
  for (const auto& line : lines) warned |= line.find("Your modem doesn't support MMS facilities") != std::string::npos;
  EXPECT_TRUE(warned);
  EXPECT_EQ(h.daily_log().find("IncomingThread started"), std::string::npos);
  EXPECT_NE(h.daily_log().find("SignalThread started"), std::string::npos);
}

}  // namespace
}  // namespace qz
