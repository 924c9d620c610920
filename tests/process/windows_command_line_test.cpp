#include "process/windows_command_line.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

// What cmd.exe is handed for one argument of a batch file: always inside one pair of
// quotes, with nothing that could end them early, open a variable or end the line.
TEST(WindowsCommandLine, ScriptArgumentKeepsEveryMetacharacterQuoted) {
  struct Case {
    const char* arg;
    const char* word;
  };
  const Case cases[] = {
      {"", R"("")"},
      {"a&b|c<d>e(f)g^h!i", R"("a&b|c<d>e(f)g^h!i")"},
      {R"("&calc&")", R"("""&calc&""")"},
      {R"(a"b)", R"("a""b")"},
      {"%PATH%", R"("%%cd:~,%PATH%%cd:~,%")"},
      {"100%", R"("100%%cd:~,%")"},
      {R"(tail\)", R"("tail\")"},
      {"one\rtwo\r\nthree\nfour\r", R"("one two three four ")"},
      {"\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\""},
  };
  for (const Case& c : cases) EXPECT_EQ(quote_script_argument(c.arg), c.word) << c.arg;
  EXPECT_EQ(script_command_line(R"(C:\qzt\incoming_sms.bat)", {R"("+49170")", "on&off"}),
            R"(cmd.exe /d /e:on /v:off /s /c ""C:\qzt\incoming_sms.bat" """+49170""" "on&off"")");
}

// A program reads its words back with CommandLineToArgvW's rules: backslashes count only
// in front of a quote.
TEST(WindowsCommandLine, ProgramArgumentReadsBackExactly) {
  struct Case {
    const char* arg;
    const char* word;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"", R"("")"},
      {"two words", R"("two words")"},
      {R"(a"b)", R"("a\"b")"},
      {R"(a\\"b)", R"("a\\\\\"b")"},
      {R"(C:\dir\)", R"(C:\dir\)"},
      {R"(C:\my dir\)", R"("C:\my dir\\")"},
      {"a&b%c%", "a&b%c%"},
  };
  for (const Case& c : cases) EXPECT_EQ(quote_program_argument(c.arg), c.word) << c.arg;
}

}  // namespace
}  // namespace qz
