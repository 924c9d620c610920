#include "modem/sms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem/modem_link.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using sim::CommandRule;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class SmsTest : public ::testing::Test {
 protected:
  SmsTest() {
    h.set("IncomingEnable", "0");
    h.set("QualityPollEverySecs", "1000");  // keeps the signal poll off the modem
  }
  void start() { ASSERT_TRUE(h.start_and_forget_startup()); }
  int send(const std::string& number, const std::string& text, int flash = 0) {
    return send_sms(h.link(), number, text, flash);
  }
  std::vector<std::size_t> part_lengths() {
    std::vector<std::size_t> lengths;
    for (const auto& sms : h.modem.sms()) lengths.push_back(sms.text.size());
    return lengths;
  }

  test::ModemHarness h;
};

TEST_F(SmsTest, PartLengthIsDecidedOnceForTheWholeText) {
  start();
  ASSERT_EQ(send(" 079 123 45 67 ", std::string(160, 'a')), 0);
  EXPECT_EQ(part_lengths(), (std::vector<std::size_t>{160}));
  EXPECT_EQ(h.modem.command_lines().at(1), "at+cmgs=\"0791234567\"");

  h.modem.clear_recording();
  ASSERT_EQ(send("0791234567", std::string(161, 'b')), 0);
  EXPECT_EQ(part_lengths(), (std::vector<std::size_t>{160, 1}));

  // One 8-bit character anywhere cuts every part at 140, the plain ones too.
  h.modem.clear_recording();
  ASSERT_EQ(send("0791234567", "\xE9" + std::string(140, 'c')), 0);
  EXPECT_EQ(part_lengths(), (std::vector<std::size_t>{140, 1}));
  auto sms = h.modem.sms();
  ASSERT_EQ(sms.size(), 2u);
  EXPECT_EQ(sms[0].text[0], '\x05');
  EXPECT_EQ(sms[1].text, "c");
  EXPECT_TRUE(sms[0].accepted && sms[1].accepted);
  EXPECT_EQ(sms[0].number, "0791234567");
  EXPECT_EQ(sms[1].number, "0791234567");
}

TEST_F(SmsTest, TextReachesTheModemInTheGsmAlphabet) {
  start();
  ASSERT_EQ(send("0791234567", std::string("@$\xE9[\x80\xE4\xDF\xA3{A\n", 11)), 0);
  auto sms = h.modem.sms();
  ASSERT_EQ(sms.size(), 1u);
  EXPECT_EQ(sms[0].text, std::string("\x00\x02\x05\x20\x20\x7B\x1E\x01\x20\x41\x0A", 11));
}

TEST_F(SmsTest, FlashAndOrdinaryMessagesSetTheirParameters) {
  start();
  ASSERT_EQ(send("0791234567", "flash", 1), 0);
  EXPECT_EQ(h.modem.state().sms_parameters, "17,167,0,16");
  ASSERT_EQ(send("0791234567", "plain", 0), 0);
  EXPECT_EQ(h.modem.state().sms_parameters, "17,167,0,0");
  ASSERT_EQ(send("0791234567", "plain", -3), 0);
  EXPECT_EQ(h.modem.state().sms_parameters, "17,167,0,0");
  auto lines = h.modem.command_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "at+csmp=17,167,0,16");
}

TEST_F(SmsTest, TextIsCutToMaxMsgLengthAndAnEmptyTextSendsNothing) {
  h.set("MaxMsgLength", "200");
  start();
  ASSERT_EQ(send("0791234567", std::string(1000, 'x')), 0);
  EXPECT_EQ(part_lengths(), (std::vector<std::size_t>{160, 40}));

  h.modem.clear_recording();
  EXPECT_EQ(send("0791234567", ""), 0);
  EXPECT_EQ(h.modem.command_lines(), (std::vector<std::string>{"at+csmp=17,167,0,0"}));
}

TEST_F(SmsTest, MaxMsgLengthZeroWouldSendNothingAndIsReadAsTheDefault) {
  h.set("MaxMsgLength", "0");
  start();
  EXPECT_EQ(send("0791234567", "Boiler pressure low"), 0);
  ASSERT_EQ(h.modem.sms().size(), 1u) << "an empty alarm must not pass for a sent one";
  EXPECT_EQ(h.modem.sms()[0].text, "Boiler pressure low");
}

TEST_F(SmsTest, NumbersThatAreNotDialableNeverReachTheModem) {
  start();
  const std::vector<std::string> refused = {
      "079\"123", "0791;ATH",           "0791\r", "07912a", "41+79", "", "   ", "0791\n+++",
      "0791,145", std::string(48, '1'),  // longer than the command's buffer leaves room for
  };
  for (const std::string& number : refused) {
    EXPECT_EQ(send(number, "x"), -1) << number;
  }
  EXPECT_TRUE(h.modem.command_lines().empty());
  EXPECT_TRUE(contains(h.daily_log(), "Invalid tel number 0791;ATH"));
  EXPECT_TRUE(contains(h.daily_log(), "Invalid tel number 079\"123"));
  auto window = h.window_lines();
  ASSERT_FALSE(window.empty());
  EXPECT_TRUE(contains(window[0], "Invalid tel number 079\"123"));

  // Nothing half-written is left in the modem's command line either: the next
  // command arrives clean.
  ASSERT_EQ(send("+*#" + std::string(44, '7'), "ok"), 0);
  EXPECT_EQ(h.modem.command_lines(),
            (std::vector<std::string>{"at+csmp=17,167,0,0",
                                      "at+cmgs=\"+*#" + std::string(44, '7') + "\""}));
}

TEST_F(SmsTest, MissingPromptFailsAtStep1AndOnlyTheLogFileSaysSo) {
  h.modem.configure([](sim::ModemConfig& c) {
    c.sms.failure = sim::SmsFailure::NoPrompt;
    c.sms.times = 1;
  });
  start();
  EXPECT_EQ(send("0791234567", "lost"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "Timed-out waiting for modem response [1]"));
  for (const auto& line : h.window_lines()) EXPECT_FALSE(contains(line, "Timed-out")) << line;
  EXPECT_TRUE(h.modem.sms().empty());

  EXPECT_EQ(send("0791234567", "next"), 0);
  ASSERT_EQ(h.modem.sms().size(), 1u);
  EXPECT_EQ(h.modem.sms()[0].text, "next");
}

TEST_F(SmsTest, PromptThatComesTooLateLeavesNoTextEntryOpen) {
  h.modem.configure([](sim::ModemConfig& c) { c.sms.prompt_delay = 600ms; });
  start();
  EXPECT_EQ(send("0791234567", "late"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "Timed-out waiting for modem response [1]"));
  // The text entry the late prompt opened is cancelled, not left to swallow commands.
  ASSERT_TRUE(h.modem.wait_for([](const sim::Recording& r) { return r.sms.size() == 1; }, 10s));
  EXPECT_FALSE(h.modem.sms()[0].accepted);
  EXPECT_TRUE(h.modem.sms()[0].text.empty());
  // The late prompt itself is still on its way; the modem answers in order.
  ASSERT_TRUE(h.wait_for_log(" > \n", 10s));

  h.modem.configure([](sim::ModemConfig& c) { c.sms.prompt_delay = 0ms; });
  EXPECT_EQ(send("0791234567", "in time"), 0);
  auto sms = h.modem.sms();
  ASSERT_EQ(sms.size(), 2u);
  EXPECT_EQ(sms[1].text, "in time");
  EXPECT_TRUE(sms[1].accepted);
}

TEST_F(SmsTest, RefusedSubmissionFailsAtStep2) {
  h.modem.configure([](sim::ModemConfig& c) {
    c.sms.failure = sim::SmsFailure::Error;
    c.sms.times = 1;
  });
  start();
  EXPECT_EQ(send("0791234567", "refused"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "Timed-out waiting for modem response [2]"));

  // A +CMS ERROR sets no event: the 30 s wait runs out, with the same result.
  h.modem.configure([](sim::ModemConfig& c) {
    c.sms.failure = sim::SmsFailure::CmsError;
    c.sms.times = 1;
  });
  EXPECT_EQ(send("0791234567", "refused again"), -1);
  auto sms = h.modem.sms();
  ASSERT_EQ(sms.size(), 2u);
  EXPECT_FALSE(sms[0].accepted || sms[1].accepted);
}

TEST_F(SmsTest, RefusedPduSubmissionStillLeavesTheModemInTextMode) {
  h.modem.configure([](sim::ModemConfig& c) {
    c.sms.failure = sim::SmsFailure::Error;
    c.sms.times = 1;
  });
  start();
  // Cyrillic needs UCS-2, which goes in PDU mode.
  EXPECT_EQ(send_sms(h.link(), "0791234567", "\xD0\x96", 0, TextCoding::kUtf8), -1);
  EXPECT_EQ(h.modem.state().message_format, 1);
  EXPECT_EQ(send("0791234567", "next"), 0);
  auto sms = h.modem.sms();
  ASSERT_EQ(sms.size(), 2u);
  EXPECT_TRUE(sms[0].pdu);
  EXPECT_EQ(sms[1].text, "next");
  EXPECT_TRUE(sms[1].accepted);
}

TEST_F(SmsTest, FailedPartStopsTheRestAndEarlierPartsStaySent) {
  start();
  // The first submission is answered, every later one is refused before the prompt.
  h.modem.add_rule(CommandRule::delayed("+CMGS", 0ms, 1));
  h.modem.add_rule(CommandRule::error("+CMGS"));
  EXPECT_EQ(send("0791234567", std::string(400, 'p')), -1);
  EXPECT_EQ(part_lengths(), (std::vector<std::size_t>{160}));
  EXPECT_EQ(h.modem.count_commands("AT+CMGS"), 2u);
  EXPECT_TRUE(contains(h.daily_log(), "Timed-out waiting for modem response [1]"));
}

TEST_F(SmsTest, ServiceCentreIsWrittenReadBackOrRefused) {
  start();
  ModemLink& g = h.link();
  g.set_service_centre("+41790000111", 145);
  ASSERT_EQ(set_smsc(g), 0);
  EXPECT_EQ(h.modem.state().service_centre, "+41790000111");
  EXPECT_EQ(h.modem.command_lines(),
            (std::vector<std::string>{"at+csca=\"+41790000111\",145", "at+csca?"}));
  EXPECT_TRUE(contains(h.daily_log(), "SMSC parameters updated"));
  EXPECT_TRUE(contains(h.daily_log(), "New SMSC parameters : '+41790000111' [145]"));

  // What the modem answers is what the gateway keeps.
  h.modem.add_rule(
      CommandRule::replace("+CSCA?", "\r\n+CSCA: \"0798888888\",129\r\n\r\nOK\r\n", 1));
  g.set_service_centre("+41790000222", 145);
  ASSERT_EQ(set_smsc(g), 0);
  EXPECT_EQ(g.service_centre_number(), "0798888888");
  EXPECT_EQ(g.service_centre_type(), 129);

  // No read-back: the new address was acknowledged all the same.
  h.modem.add_rule(CommandRule::ignore("+CSCA?", 1));
  ASSERT_EQ(set_smsc(g), 0);
  EXPECT_TRUE(contains(h.daily_log(), "New SMSC parameters : '' [129]"));

  h.modem.clear_recording();
  h.modem.add_rule(CommandRule::ignore("+CSCA=", 1));
  g.set_service_centre("+41790000111", 145);
  EXPECT_EQ(set_smsc(g), -1);
  EXPECT_EQ(count_of(h.daily_log(), "SMSC parameters updated"), 3u) << "no line for this one";
  EXPECT_EQ(h.modem.count_commands("AT+CSCA?"), 0u);

  h.modem.clear_recording();
  g.set_service_centre("+4179\",145\r", 145);
  EXPECT_EQ(set_smsc(g), -1);
  EXPECT_TRUE(h.modem.command_lines().empty());
}

}  // namespace
}  // namespace qz
