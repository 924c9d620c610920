#include "process/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qz {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLineSplit, BlanksSeparateAndQuotesGroup) {
  struct Case {
    const char* format;
    Words words;
  };
  const Case cases[] = {
      {"incoming_sms.bat \"%s\" \"%s\"", {"incoming_sms.bat", "%s", "%s"}},
      {"qzarun.cmd %d", {"qzarun.cmd", "%d"}},
      {"  a \t b   c  ", {"a", "b", "c"}},
      {"a \"\" b", {"a", "", "b"}},
      {"\"\"", {""}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"a\"\"b\"", {"ab"}},
      {"cmd \"open quote runs on", {"cmd", "open quote runs on"}},
      {"cmd \"  \"", {"cmd", "  "}},
      {"", {}},
      {" \t ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_command_format(c.format), c.words) << c.format;
}

TEST(CommandLineFill, PlaceholdersTakeValuesInOrderAcrossWords) {
  struct Case {
    const char* format;
    Words values;
    Words argv;
  };
  const Case cases[] = {
      // The sender comes with the quotes it had in the listing; the text ends with CR.
      {"incoming_sms.bat \"%s\" \"%s\"",
       {"\"+491701234567\"", "Alarm off\r"},
       {"incoming_sms.bat", "\"+491701234567\"", "Alarm off\r"}},
      {"qzarun.cmd %d", {"8999"}, {"qzarun.cmd", "8999"}},
      {"cmd --from=%s:%d tail", {"a", "7"}, {"cmd", "--from=a:7", "tail"}},
      {"cmd 100%% %s", {"x"}, {"cmd", "100%", "x"}},
      // %% is not a placeholder, so the first value still goes to the first %s.
      {"cmd %%s %s", {"x"}, {"cmd", "%s", "x"}},
      {"cmd %x %5d %s %", {"v"}, {"cmd", "%x", "%5d", "v", "%"}},
      {"cmd %s %s %d", {"only"}, {"cmd", "only", "", ""}},
      {"cmd %s", {"a", "b", "c"}, {"cmd", "a"}},
      {"cmd", {"a"}, {"cmd"}},
      // A value is never read as a format: its own %s stays.
      {"cmd %s %s", {"%s%d%%", "second"}, {"cmd", "%s%d%%", "second"}},
  };
  for (const Case& c : cases) EXPECT_EQ(build_argv(c.format, c.values), c.argv) << c.format;
}

TEST(CommandLineFill, ValueStaysOneArgumentWhateverItHolds) {
  std::string hostile = "a b\t\"c\" 'd' ; $(x) `y` | & > < \\ \r\n";
  for (int b = 0x80; b <= 0xFF; ++b) hostile.push_back(static_cast<char>(b));
  // Quoted or not in the format, the value fills exactly one argument.
  EXPECT_EQ(build_argv("cmd \"%s\" %s", {hostile, hostile}), (Words{"cmd", hostile, hostile}));
  EXPECT_EQ(build_argv("cmd pre%spost", {hostile}), (Words{"cmd", "pre" + hostile + "post"}));
}

TEST(CommandLineDescribe, QuotesOnlyWhatNeedsItAndStaysOneLine) {
  EXPECT_EQ(describe({}), "");
  EXPECT_EQ(describe({"qzarun.cmd", "8999"}), "qzarun.cmd 8999");
  EXPECT_EQ(describe({"incoming_sms.bat", "\"+4917\"", "Alarm off\r"}),
            "incoming_sms.bat \"\\\"+4917\\\"\" \"Alarm off\\r\"");
  EXPECT_EQ(describe({"cmd", "", "a\\b", "it's"}), "cmd \"\" \"a\\\\b\" \"it's\"");
  EXPECT_EQ(describe({"cmd", std::string("l1\nl2\x01\t\x7f", 8)}), "cmd \"l1\\nl2\\x01\\t\\x7F\"");
  // ISO 8859-1 text is shown as it is.
  EXPECT_EQ(describe({"cmd",
                      "Stra\xDF"
                      "e"}),
            "cmd Stra\xDF"
            "e");
}

TEST(CommandLineDescribe, LongLineIsNotCut) {
  std::string text(400, 'x');
  std::string line = describe(build_argv("incoming_sms.bat \"%s\" \"%s\"", {"+49", text}));
  EXPECT_GT(line.size(), kCommandLineLimit);
  EXPECT_NE(line.find(text), std::string::npos);
}

}  // namespace
}  // namespace qz
