#include "gateway/send_options.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

using Action = SendOptions::Action;

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
      {{"--help", "--bogus"}, "unknown option '--bogus'"},  // before --help, as for the other programs
  };
  for (const auto& c : cases) {
    SendOptions o = parse_send_options(c.args);
    EXPECT_EQ(o.action, Action::kUsageError) << c.error;
    EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
  }
  // After "--" a TEXT may begin with '-'; "-" alone reads standard input.
  EXPECT_EQ(parse_send_options({"--wait", "--", "1", "-5 degrees"}).request.text, "-5 degrees");
  EXPECT_TRUE(parse_send_options({"1", "-"}).text_from_input);
  // "/?" asks for the help as Windows commands do, but only where an option may stand.
  EXPECT_EQ(parse_send_options({"/?"}).action, Action::kHelp);
  EXPECT_EQ(parse_send_options({"1", "/?"}).request.text, "/?");
}

}  // namespace
}  // namespace qz
