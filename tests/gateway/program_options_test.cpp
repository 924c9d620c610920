#include "gateway/program_options.h"

#include <gtest/gtest.h>

#include "core/service_host.h"

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

// The service options stand alone: registering needs the instance folder, the service's
// own run gets it from the manager's command line, and /? is the Windows way of asking.
TEST(ProgramOptionsTest, ServiceOptionsNameTheServiceAndStandAlone) {
  const ProgramDescription daemon{"qzgsmsd", "", kDaemon.options | kOptionService};
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::string service_or_error;
  };
  const Case cases[] = {
      {{"--install-service", "gsm2", "--instance", "D:\\qzt\\gsm2"}, Action::kInstallService, "gsm2"},
      {{"--service", "default", "--instance", "C:\\qzt\\qzgsms"}, Action::kRunService, "default"},
      {{"--remove-service", "gsm2"}, Action::kRemoveService, "gsm2"},
      {{"/?"}, Action::kHelp, ""},
      {{"--install-service", "gsm2"}, Action::kUsageError,
       "--install-service needs the instance folder: --install-service NAME --instance DIR"},
      {{"--install-service", "--instance", "x"}, Action::kUsageError,
       "--install-service needs the service's name: --install-service NAME"},
      {{"--remove-service", "gsm2", "--instance", "x"}, Action::kUsageError, "--remove-service takes no --instance"},
      {{"--service", "a", "--remove-service", "b"}, Action::kUsageError, "one service option at a time"},
      {{"--check", "--service", "a"}, Action::kUsageError, "--check and --status go without a service option"},
  };
  for (const Case& c : cases) {
    const ProgramOptions o = parse(daemon, c.args);
    EXPECT_EQ(o.action, c.action) << c.args.front();
    EXPECT_EQ(o.action == Action::kUsageError ? o.error : o.service, c.service_or_error) << c.args.front();
  }
  EXPECT_EQ(parse(kDaemon, {"--service", "a"}).error, "unknown option '--service'");
  EXPECT_EQ(service_name_problem("gsm-2_b.x"), "");
  for (const std::string& bad : {std::string(), std::string("a b"), std::string("a\\b"), std::string(41, 'a')}) {
    EXPECT_NE(service_name_problem(bad), "") << bad;
  }
}

}  // namespace
}  // namespace qz
