#include "modemsim/scenario.h"

#include <gtest/gtest.h>

namespace qz::sim {
namespace {

using namespace std::chrono_literals;

TEST(ScenarioTest, ReadsBehaviourRulesAndStoredMessages) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(parse_scenario("# a modem with trouble\r\n"
                             "pin = 1234\n"
                             "  csq=17  \n"
                             "network = none\n"
                             "; rules keep their order\n"
                             "error = +COPS\n"
                             "times = 2\n"
                             "cme = +CPIN?, 10\n"
                             "before = +CSQ,\\x01\\r\\nRING\\r\\n\n"
                             "sms = cms:304\n"
                             "call = busy\n"
                             "call_hangup = 3000\n"
                             "mms_report = never\n"
                             "mms_handle = short\n"
                             "list_test = lower\n"
                             "list_forms = upper, lower\n"
                             "store = 3,\"+41791234567\",Hello, world\\n\\x7B\n"
                             "store = 0,+4179,x\n"
                             "inject_every = 500,\\r\\nRING\\r\\n\n",
                             s, error))
      << error;

  const ModemConfig& c = s.config;
  EXPECT_EQ(c.pin, "1234");
  EXPECT_EQ(c.signal, 17);
  EXPECT_EQ(c.network, NetworkMode::NoAnswer);
  ASSERT_EQ(c.rules.size(), 3u);
  EXPECT_EQ(c.rules[0].action, CommandRule::Action::Error);
  EXPECT_EQ(c.rules[0].command, "+COPS");
  EXPECT_EQ(c.rules[0].times, 2);
  EXPECT_EQ(c.rules[1].action, CommandRule::Action::CmeError);
  EXPECT_EQ(c.rules[1].command, "+CPIN?");
  EXPECT_EQ(c.rules[1].code, 10);
  EXPECT_EQ(c.rules[2].before, "\x01\r\nRING\r\n");
  EXPECT_EQ(c.sms.failure, SmsFailure::CmsError);
  EXPECT_EQ(c.sms.cms_error, 304);
  EXPECT_EQ(c.call.outcome, CallOutcome::Busy);
  EXPECT_EQ(c.call.hang_up_after, 3000ms);
  EXPECT_EQ(c.mms.report_status, -1);
  EXPECT_TRUE(c.mms.short_handle);
  EXPECT_EQ(c.list_test_reply, ListTestReply::Lower);
  EXPECT_FALSE(c.list_forms.numeric);
  EXPECT_TRUE(c.list_forms.upper && c.list_forms.lower);
  EXPECT_EQ(c.periodic_interval, 500ms);
  EXPECT_EQ(c.periodic_bytes, "\r\nRING\r\n");

  ASSERT_EQ(s.messages.size(), 2u);
  EXPECT_EQ(s.messages[0].index, 3);
  EXPECT_EQ(s.messages[0].sender, "+41791234567");
  EXPECT_EQ(s.messages[0].text, "Hello, world\n{");
  EXPECT_EQ(s.messages[1].index, 0);
  EXPECT_EQ(s.messages[1].sender, "+4179");
}

TEST(ScenarioTest, BadLinesAreReportedWithTheirNumber) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"pin = 1\nnoise = 1\n", "line 2: unknown key 'noise'"},
      {"csq = 40\n", "line 1: expected a level of 0 to 31 or 99"},
      {"delay = soon\n", "line 1: expected milliseconds"},
      {"times = 3\n", "line 1: no rule before this line"},
      {"cme = +CPIN?\n", "line 1: expected <command>,<code>"},
      {"reply = +CSQ,\\q\n", "line 1: bad escape in text"},
      {"\n\njust words\n", "line 3: expected key = value"},
      {"store = 1,\"+4179,text\n", "line 1: sender without closing quote"},
  };
  for (const Case& c : cases) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(parse_scenario(c.text, s, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(ScenarioTest, EscapesCoverControlBytesAndRejectTruncatedHex) {
  std::string out;
  ASSERT_TRUE(decode_escapes("a\\z\\e\\x00\\xff\\\\\\\"", out));
  EXPECT_EQ(out, std::string("a\x1A\x1B\x00\xFF\\\"", 7));
  EXPECT_FALSE(decode_escapes("\\x4", out));
  EXPECT_FALSE(decode_escapes("\\xZZ", out));
  EXPECT_FALSE(decode_escapes("ends with \\", out));
}

TEST(ScenarioTest, MissingFileIsAnError) {
  Scenario s;
  std::string error;
  EXPECT_FALSE(load_scenario("/nonexistent/scenario.txt", s, error));
  EXPECT_EQ(error, "cannot read /nonexistent/scenario.txt");
}

}  // namespace
}  // namespace qz::sim
