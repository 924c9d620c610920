#include <gtest/gtest.h>

#include <algorithm>

#include "core/version.h"
#include "gateway/gateway.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using sim::CommandRule;

std::size_t count_of(const std::vector<std::string>& lines, const std::string& prefix) {
  std::size_t n = 0;
  for (const auto& line : lines) n += line.rfind(prefix, 0) == 0;
  return n;
}

// Window lines without their date and time ("08.12.2026 12:29:11 ").
std::vector<std::string> texts_of(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  for (const auto& line : lines) texts.push_back(line.size() > 20 ? line.substr(20) : line);
  return texts;
}

// What follows the block every start begins with (it ends with the daily log's line).
std::vector<std::string> after_startup_block(const std::vector<std::string>& texts) {
  auto end = std::find_if(texts.begin(), texts.end(), [](const std::string& t) { return t.rfind("Daily log: ", 0) == 0; });
  return end == texts.end() ? texts : std::vector<std::string>(end + 1, texts.end());
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
  // After the start-up block: InputThread started, the error, the alarm and the end.
  EXPECT_EQ(after_startup_block(texts_of(h.window_lines())),
            (std::vector<std::string>{"InputThread started", expected, "Technical alarm: qzarun.cmd 8999 started",
                                      "The gateway ends in 10 s with exit code 1, for its supervisor to start it again"}));
  // The recovery sent ESC and a reset before giving up.
  EXPECT_EQ(count_of(h.modem.command_lines(), "at&f"), 1u);
  EXPECT_EQ(h.command_output("qzarun.cmd"), "8999\n");
}

TEST_F(InitGsmsTest, PortThatCannotBeOpenedIsAHardFailure) {
  const std::string device = (h.folder / "no-such-device").string();
  h.set("Port", device);
  EXPECT_FALSE(h.start());
  EXPECT_EQ(h.exit_code(), 1);
  EXPECT_NE(h.daily_log().find("** init_gsms ** ERROR: cannot open "), std::string::npos);
  EXPECT_EQ(h.command_output("qzarun.cmd"), "8999\n");
  EXPECT_EQ(after_startup_block(texts_of(h.window_lines())),
            (std::vector<std::string>{
                "** init_gsms ** ERROR: cannot open " + device + " (0x00000002): No such file or directory",
                "Technical alarm: qzarun.cmd 8999 started",
                "The gateway ends in 60 s with exit code 1, for its supervisor to start it again"}));
}

TEST_F(InitGsmsTest, AComNameSaysWhichDeviceCouldNotBeOpened) {
  h.set("Port", "COM256");
  EXPECT_FALSE(h.start());
  EXPECT_NE(h.daily_log().find("** init_gsms ** ERROR: cannot open COM256 (0x00000002): No such file or directory "
                               "(COM256 is /dev/ttyS255)"),
            std::string::npos);
}

TEST_F(InitGsmsTest, EveryStartBeginsWithTheInstanceItRunsFor) {
  ASSERT_TRUE(h.start());
  const std::string first = "qzgsms " + std::string(qzgsms_version()) + ", instance folder " + h.folder.path().string();
  auto texts = texts_of(h.window_lines());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), first);
  EXPECT_EQ(after_startup_block(texts).front(), "InputThread started") << "a good instance has nothing to warn about";
  EXPECT_NE(h.daily_log().find(first), std::string::npos);
}

TEST_F(InitGsmsTest, SettingsMistakesAreRedLinesBeforeTheModemIsAsked) {
  h.set("Prot", "/dev/ttyUSB0");
  h.set("RetryDelay", "2x");
  h.set("WatchLogPath", "no-tables");
  h.set("Mode", "96,Q,8,1");
  ASSERT_TRUE(h.start()) << "none of them stops the gateway";

  std::vector<std::pair<std::string, Color>> lines;
  while (auto line = h.gateway().log.take_pending_line()) lines.emplace_back(line->text.substr(20), line->color);
  auto at = [&](const std::string& text, Color color = kRed) {
    auto it = std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return l.first == text; });
    EXPECT_NE(it, lines.end()) << text;
    if (it != lines.end()) {
      EXPECT_EQ(it->second, color) << text;
    }
    return it - lines.begin();
  };
  auto block_end = at("Daily log: " + h.folder.path().string() + "/log", kBlack);
  auto input = at("InputThread started", kBlack);
  for (const std::string& text :
       {"unknown key 'Prot' \u2014 did you mean 'Port'?"s, "RetryDelay=2x is not a number: 2 is used"s,
        "WatchLogPath " + (h.folder / "no-tables").string() + " does not exist: no report table can be updated",
        // Said when the port is set up, before anything is sent to the modem.
        "Mode '96,Q,8,1' cannot be read: the port keeps its line settings"s}) {
    auto where = at(text);
    EXPECT_GT(where, block_end) << text;
    EXPECT_LT(where, input) << text;
  }
  EXPECT_NE(h.daily_log().find("unknown key 'Prot'"), std::string::npos);
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
