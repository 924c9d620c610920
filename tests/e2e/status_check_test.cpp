// qzgsmsd --status as a monitoring system runs it against a gateway in each state it has to
// tell apart. A gateway killed outright leaves a fresh-looking status file behind: only the
// live look at the instance lock tells that nobody runs; a hung one holds the lock but its
// status grows old.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "e2e/e2e_support.h"
#include "support/run_program.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::eventually;
using test::GatewayInstance;

// Whether process `pid`'s main thread is stopped (state T in /proc/<pid>/stat).
bool is_stopped(long pid) {
  std::string stat = test::read_file("/proc/" + std::to_string(pid) + "/stat");
  std::size_t after_name = stat.rfind(')');
  return after_name != std::string::npos && stat.compare(after_name, 3, ") T") == 0;
}

test::ProgramRun status_of(const GatewayInstance& gw, bool json = false) {
  std::vector<std::string> argv{QZGSMS_QZGSMSD, "--status", "--instance", gw.folder.path().string()};
  if (json) argv.push_back("--json");
  return test::run_program(argv);
}

// Started, and until the gateway's status says it runs well; the signal polled every
// gateway second, so a silent modem is soon noticed.
void start_healthy(GatewayInstance& gw) {
  gw.write_settings("QualityPollEverySecs=1\n");
  gw.start();
  ASSERT_TRUE(eventually([&] { return status_of(gw).exit_code == 0; })) << status_of(gw).out;
}

TEST(StatusCheckTest, EachStateHasItsExitCodeAndSaysWhy) {
  struct Case {
    const char* state;
    std::function<void(GatewayInstance&)> bring_about;
    int exit_code;
    std::string line_begins;  // the plain answer's first line
    std::vector<std::string> json_has;
  } cases[] = {
      {"running, one SMS sent",
       [](GatewayInstance& gw) {
         start_healthy(gw);
         gw.drop_job("a1.sms", test::sms_job("+41791234567", "Boiler 3", 1));
         ASSERT_TRUE(eventually([&] { return status_of(gw).out.find("last sent") != std::string::npos; }));
       },
       0,
       "QZGSMS OK - signal 20, registered, ",
       {"\"running\":true", "\"lock_held\":true", "\"modem_up\":true", "\"signal\":20", "\"registered\":true",
        "\"to\":\"+41791234567\",\"result\":\"sent\"",
        "\"counts\":{\"sent\":1,\"failed\":0,\"retried\":0,\"bad_requests\":0,\"received\":0,\"not_handed_on\":0,"}},
      // Acknowledgements pile up while their command cannot start: 16 of 20 is the line.
      {"message store nearly full",
       [](GatewayInstance& gw) {
         for (int i = 0; i < 16; ++i) gw.modem.add_message("+4179123456" + std::to_string(i % 10), "ack");
         gw.write_settings("QualityPollEverySecs=1\nIncomingEnable=1\nCmdLineFormat=absent_command \"%s\" \"%s\"\n");
         gw.start();
         ASSERT_TRUE(eventually([&] { return status_of(gw).out.find("message store nearly") != std::string::npos; }));
       },
       1,
       "QZGSMS WARNING - signal 20, registered, 0 jobs, message store nearly full (16/20)",
       {"\"message_store\":{\"used\":16,\"total\":20}"}},
      {"running, low signal",
       [](GatewayInstance& gw) {
         start_healthy(gw);
         gw.modem.set_signal(5);
       },
       1,
       "QZGSMS WARNING - signal 5 (low), registered, 0 jobs",
       {"\"running\":true", "\"modem_up\":true", "\"signal\":5"}},
      // The gateway notices within a signal poll, raises the technical alarm and ends.
      {"modem silent",
       [](GatewayInstance& gw) {
         start_healthy(gw);
         gw.modem.set_silent(true);
       },
       2,
       "QZGSMS CRITICAL - ",
       {"\"modem_up\":false"}},
      {"killed outright",
       [](GatewayInstance& gw) {
         start_healthy(gw);
         gw.kill();
       },
       2,
       "QZGSMS CRITICAL - not running: process ",
       {"\"running\":false", "\"lock_held\":false", "\"state\":\"running\""}},
      // A hung gateway still holds its folder but writes no status any more.
      {"hung",
       [](GatewayInstance& gw) {
         start_healthy(gw);
         ::kill(static_cast<pid_t>(gw.pid()), SIGSTOP);
         ASSERT_TRUE(eventually([&] { return is_stopped(gw.pid()); }));
         fs::last_write_time(gw.folder / "qzgsms-status", fs::file_time_type::clock::now() - std::chrono::minutes(1));
       },
       2,
       "QZGSMS CRITICAL - status ",
       {"\"running\":true", "\"lock_held\":true"}},
      {"stopped in order",
       [](GatewayInstance& gw) {
         start_healthy(gw);
         ASSERT_EQ(gw.stop(), 0);
       },
       2,
       "QZGSMS CRITICAL - not running: stopped",
       {"\"running\":false", "\"state\":\"stopped\""}},
      {"never started", [](GatewayInstance&) {}, 2, "QZGSMS CRITICAL - not running: no gateway holds ",
       {"\"running\":false"}},
      {"status file damaged",
       [](GatewayInstance& gw) { test::write_file(gw.folder / "qzgsms-status", "state=running\npid=12x\n"); },
       3,
       "QZGSMS UNKNOWN - ",
       {"\"status\":\"UNKNOWN\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    GatewayInstance gw;
    c.bring_about(gw);
    if (testing::Test::HasFatalFailure()) continue;
    ASSERT_TRUE(eventually([&] { return status_of(gw).exit_code == c.exit_code; })) << status_of(gw).out;

    test::ProgramRun plain = status_of(gw);
    EXPECT_EQ(plain.out.rfind(c.line_begins, 0), 0u) << plain.out;
    test::ProgramRun json = status_of(gw, true);
    EXPECT_EQ(json.exit_code, c.exit_code);
    EXPECT_EQ(json.out.rfind("{\"status\":", 0), 0u) << json.out;
    for (const std::string& part : c.json_has) EXPECT_NE(json.out.find(part), std::string::npos) << part << "\n" << json.out;
  }
}

// A long call posts no line for minutes, yet the status file must go on being written: a
// status that old reads as a hung gateway.
TEST(StatusCheckTest, TheStatusIsWrittenThroughALongCall) {
  GatewayInstance gw;
  gw.write_settings("VoiceCallDuration=600\n");
  gw.start(20);
  gw.drop_job("call.sms", test::sms_job("+41791234567", "Boiler 3", 1, "plant", "VC"));
  ASSERT_TRUE(gw.modem.wait_for_command("ATD", std::chrono::seconds(20)));
  auto written = [&] {
    const std::string status = test::read_file(gw.folder / "qzgsms-status");
    const std::size_t at = status.find("\nwritten=");
    return at == std::string::npos ? int64_t{0} : std::stoll(status.substr(at + 9));
  };
  const int64_t dialled = written();
  // Two writes more, each due five gateway seconds after the one before.
  ASSERT_TRUE(eventually([&] { return written() >= dialled + 10; }));
  EXPECT_EQ(gw.modem.count_commands("AT+CHUP"), 0u) << "the call was still up";
}

// Nothing that lies in the instance folder is trusted. The writer never opens a name it
// did not just create, so a link or a FIFO left at the name it once wrote its temporary
// under changes nothing; the check reads a few kilobytes of a regular file only, so a
// link, a FIFO or a huge file as the status file gets a prompt UNKNOWN.
TEST(StatusCheckTest, NothingPlantedInTheFolderIsFollowedOrWaitedFor) {
  const std::string kept = "not the gateway's";
  struct Case {
    const char* planted;
    std::function<void(const fs::path&)> plant;
    bool gateway_runs;
    int exit_code;
    std::string line_begins;
  } cases[] = {
      {"a link at the former temporary name",
       [&](const fs::path& f) {
         test::write_file(f / "victim", kept);
         fs::create_symlink(f / "victim", f / "qzgsms-status-new");
       },
       true, 0, "QZGSMS OK - "},
      {"a FIFO at the former temporary name",
       [](const fs::path& f) { ASSERT_EQ(::mkfifo((f / "qzgsms-status-new").c_str(), 0600), 0); }, true, 0,
       "QZGSMS OK - "},
      {"a FIFO as the status file", [](const fs::path& f) { ASSERT_EQ(::mkfifo((f / "qzgsms-status").c_str(), 0600), 0); },
       false, 3, "(not a regular file)"},
      {"a 4 GB sparse status file",
       [](const fs::path& f) {
         test::write_file(f / "qzgsms-status", "state=running\n");
         fs::resize_file(f / "qzgsms-status", uintmax_t{4} << 30);
       },
       false, 3, "(4294967296 bytes, more than a status file ever holds)"},
      {"a link as the status file",
       [&](const fs::path& f) {
         test::write_file(f / "victim", kept);
         fs::create_symlink(f / "victim", f / "qzgsms-status");
       },
       false, 3, "(a symbolic link, which is never followed)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.planted);
    GatewayInstance gw;
    c.plant(gw.folder.path());
    if (testing::Test::HasFatalFailure()) return;
    if (c.gateway_runs) {
      start_healthy(gw);
    } else {
      // A check that waited on the FIFO or read the whole file would not end in time.
      test::ProgramRun run = test::run_program({QZGSMS_QZGSMSD, "--status", "--instance", gw.folder.path().string()},
                                               {.folder = {}, .unprivileged = false, .timeout = std::chrono::seconds(10)});
      EXPECT_EQ(run.exit_code, c.exit_code) << run.out;
      EXPECT_EQ(run.out.rfind("QZGSMS UNKNOWN - cannot read " + (gw.folder / "qzgsms-status").string() + " " +
                                  c.line_begins,
                              0),
                0u)
          << run.out;
    }
    if (fs::exists(gw.folder / "victim")) {
      EXPECT_EQ(test::read_file(gw.folder / "victim"), kept);
    }
  }
}

}  // namespace
}  // namespace qz
