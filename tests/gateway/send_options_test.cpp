#include "gateway/send_options.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

using Action = SendOptions::Action;

TEST(SendOptionsTest, WhatToSendAndHowLongToWait) {
  SendOptions o = parse_send_options({"--wait=90", "--name", "Ann", "+41 79 000 00 01", "Pump 3", "--instance=/srv/a"});
  ASSERT_EQ(o.action, Action::kSend) << o.error;
  EXPECT_EQ(o.request.number, "+41 79 000 00 01");
  EXPECT_EQ(o.request.text, "Pump 3");
  EXPECT_EQ(o.request.name, "Ann");
  EXPECT_EQ(o.instance, "/srv/a");
  EXPECT_TRUE(o.wait);
  EXPECT_EQ(o.wait_seconds, 90);

  o = parse_send_options({"--mms", "a.jpg", "--mms=b.amr", "--subject", "Gate", "--scenario", "plant", "--entry", "3", "1", "-"});
  ASSERT_EQ(o.action, Action::kSend) << o.error;
  EXPECT_EQ(o.request.channel, JobChannel::kMms);
  EXPECT_EQ(o.files, (std::vector<std::string>{"a.jpg", "b.amr"}));
  EXPECT_EQ(o.request.entry, 3);
  EXPECT_TRUE(o.text_from_input);

  o = parse_send_options({"--wait", "--", "1", "-5 degrees in hall 2"});
  EXPECT_EQ(o.request.text, "-5 degrees in hall 2");
  EXPECT_FALSE(o.wait_seconds) << "the tries' own time";
  EXPECT_EQ(parse_send_options({"1", "--voice", "--scenario=s", "--entry=0"}).request.channel, JobChannel::kVoiceCall);
  EXPECT_EQ(parse_send_options({"1", "--help"}).action, Action::kHelp);
  EXPECT_EQ(parse_send_options({"-V"}).action, Action::kVersion);
}

TEST(SendOptionsTest, AWrongCommandLineSaysWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{}, "no NUMBER"},
      {{"1", "two", "words"}, "unexpected argument 'words'"},
      {{"--wait", "30", "1", "text"}, "unexpected argument 'text'"},  // SECONDS only after '='
      {{"--wait=0", "1", "x"}, "--wait=SECONDS takes 1 to"},
      {{"--wait=5s", "1", "x"}, "--wait=SECONDS takes 1 to"},
      {{"--voice", "--mms", "a.jpg", "1"}, "one alarm is a call or an MMS"},
      {{"--flash", "--voice", "1"}, "--flash is for an SMS"},
      {{"--subject", "s", "1", "x"}, "--subject goes with --mms"},
      {{"--scenario", "plant", "1", "x"}, "--scenario and --entry go together"},
      {{"--entry", "-1", "--scenario", "p", "1", "x"}, "--entry needs the row"},
      {{"--name", "a", "--name", "b", "1", "x"}, "--name given twice"},
      {{"--instance"}, "--instance needs a folder"},
      {{"--mms"}, "--mms needs a file"},
      {{"-x", "1"}, "unknown option '-x'"},
  };
  for (const auto& c : cases) {
    SendOptions o = parse_send_options(c.args);
    EXPECT_EQ(o.action, Action::kUsageError) << c.error;
    EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
  }
}

}  // namespace
}  // namespace qz
