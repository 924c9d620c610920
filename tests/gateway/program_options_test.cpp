#include "gateway/program_options.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

using Action = ProgramOptions::Action;

const ProgramDescription kDaemon{"qzgsmsd", "", kOptionHelp | kOptionVersion | kOptionInstance | kOptionCheck | kOptionStatus};
const ProgramDescription kWindow{"qzgsms", "The window.", kOptionHelp | kOptionVersion | kOptionInstance};

ProgramOptions parse(const ProgramDescription& program, std::vector<std::string> args) {
  return parse_program_options(program, args);
}

TEST(ProgramOptionsTest, OptionsSayWhatToDoAndAUsageErrorSaysWhatIsWrong) {
  EXPECT_EQ(parse(kDaemon, {}).action, Action::kRun);
  EXPECT_EQ(parse(kDaemon, {"--check", "--version", "--help"}).action, Action::kHelp);
  EXPECT_EQ(parse(kDaemon, {"--check", "--version"}).action, Action::kVersion);
  EXPECT_EQ(parse(kWindow, {"-V"}).action, Action::kVersion);
  ProgramOptions o = parse(kDaemon, {"--instance", "--odd name", "--check"});
  EXPECT_EQ(o.action, Action::kCheck);
  EXPECT_EQ(o.instance, "--odd name") << "the folder is what follows, whatever it looks like";
  EXPECT_EQ(parse(kDaemon, {"--instance=jobs dir"}).instance, "jobs dir");

  EXPECT_EQ(parse(kDaemon, {"--help", "--bogus"}).error, "unknown option '--bogus'") << "errors come first";
  EXPECT_EQ(parse(kDaemon, {"QZGSMS.INI"}).error, "unexpected argument 'QZGSMS.INI'");
  EXPECT_EQ(parse(kDaemon, {"--instance"}).error, "--instance needs a folder: --instance DIR");
  EXPECT_EQ(parse(kDaemon, {"--instance="}).error, "--instance needs a folder: --instance DIR");
  EXPECT_EQ(parse(kDaemon, {"--instance", "a", "--instance", "b"}).error, "--instance given twice");
  EXPECT_TRUE(parse(kDaemon, {"--json", "--status"}).json);
  EXPECT_EQ(parse(kDaemon, {"--json", "--status"}).action, Action::kStatus);
  EXPECT_EQ(parse(kDaemon, {"--json"}).error, "--json goes with --status");
}

TEST(ProgramOptionsTest, AProgramTakesAndShowsOnlyTheOptionsThatApplyToIt) {
  EXPECT_EQ(parse(kWindow, {"--check"}).error, "unknown option '--check'");
  EXPECT_EQ(parse(kWindow, {"--status"}).error, "unknown option '--status'");
  EXPECT_EQ(parse(kWindow, {"--instance", "x"}).action, Action::kRun);
  EXPECT_EQ(program_help(kWindow).rfind("Usage: qzgsms [--instance DIR]\n\nThe window.\n", 0), 0u);
  EXPECT_EQ(program_help(kWindow).find("--check"), std::string::npos);
  EXPECT_NE(program_help(kDaemon).find("--check"), std::string::npos);
}

}  // namespace
}  // namespace qz
