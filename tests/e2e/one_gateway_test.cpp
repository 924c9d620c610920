// One gateway per instance folder and per watch folder. A second copy started by mistake on
// a running instance once found the port busy, fired a real technical alarm and wrote its
// time into the running instance's settings; two instances on one watch folder sent every
// job twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/files.h"
#include "e2e/e2e_support.h"
#include "support/run_program.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::eventually;
using test::files_in;
using test::read_file;
using test::run_program;

bool has_line(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Every file of the instance folder but the daily log and the status file, which the
// running gateway writes.
std::map<std::string, std::string> instance_files(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (auto& e : fs::recursive_directory_iterator(folder)) {
    // The running gateway's own: its logs, and its status with the temporary it is
    // replaced through.
    if (e.path().parent_path().filename() == "log" || e.path().filename() == "qzgsms-status" ||
        is_temporary_name(e.path().filename().string())) {
      continue;
    }
    files[e.path().string()] = e.is_regular_file() ? read_file(e.path()) : "<not a file>";
  }
  return files;
}

// A technical alarm that leaves a mark instead of alarming anyone.
void install_alarm_command(const test::GatewayInstance& gw) {
  test::write_file(gw.folder / "qzarun.cmd", "#!/bin/sh\necho \"$1\" >> alarm-ran\n");
  fs::permissions(gw.folder / "qzarun.cmd", fs::perms(0755));
}

void start_and_wait(test::GatewayInstance& gw) {
  gw.start();
  ASSERT_TRUE(eventually([&] { return gw.daily_log().find("SignalThread started") != std::string::npos; }));
}

class OneGatewayTest : public test::GatewayTest {};

TEST_F(OneGatewayTest, ASecondStartOnARunningInstanceChangesNothingAndARestartAfterACrashRuns) {
  // A PIN in a file every user may read is said at start.
  gw.write_settings("PIN=1234\n");
  fs::permissions(gw.folder / "QZGSMS.INI", fs::perms(0644));
  install_alarm_command(gw);
  start_and_wait(gw);
  EXPECT_NE(gw.daily_log().find("QZGSMS.INI holds the PIN and every user may read it (mode 0644): chmod 640 " +
                                (gw.folder / "QZGSMS.INI").string()),
            std::string::npos);
  const auto before = instance_files(gw.folder.path());
  const std::string instance_in_use =
      "instance folder " + gw.folder.path().string() + " is in use by process " + std::to_string(gw.pid());

  test::ProgramRun second = run_program({QZGSMS_FAST_GATEWAY, "50"}, {gw.folder.path()});
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.out, instance_in_use + "\n");
  EXPECT_EQ(instance_files(gw.folder.path()), before) << "QZGSMS.INI byte for byte, no alarm mark, no journal";
  EXPECT_EQ(count_of(gw.daily_log(), "instance folder " + gw.folder.path().string()), 1u)
      << "only the running gateway's start is in the daily log";

  // A check while the service runs is an ordinary thing to do: a note, not a problem.
  test::ProgramRun check = run_program({QZGSMS_QZGSMSD, "--check"}, {gw.folder.path()});
  EXPECT_TRUE(has_line(check.out, instance_in_use)) << check.out;

  // The kernel lets go of a crashed gateway's folders: the restart runs.
  gw.kill();
  start_and_wait(gw);
  gw.drop_job("a1.sms", test::sms_job("+41791234567", "Boiler 3", 1));
  EXPECT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }));
  EXPECT_EQ(gw.modem.sms().size(), 1u);
}

// Another instance's settings name the running one's watch folder, spelt in its own way.
TEST_F(OneGatewayTest, ASecondInstanceOnTheSameWatchFolderRefusesHoweverItIsSpelt) {
  gw.write_settings();
  fs::create_directory(gw.watch());
  start_and_wait(gw);

  const std::string watch = gw.watch().string();
  std::string windows_spelling = "C:" + watch;
  std::replace(windows_spelling.begin(), windows_spelling.end(), '/', '\\');
  struct Case {
    const char* what;
    std::string watch_path;
  } cases[] = {
      {"the same path", watch},
      {"a Windows spelling", windows_spelling},
      {"a symbolic link", "shared"},
      {"a path through ..", gw.folder.path().string() + "/jobs/../jobs/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::GatewayInstance other;
    fs::create_directory_symlink(gw.watch(), other.folder / "shared");
    other.write_settings("WatchPath=" + c.watch_path + "\n");
    install_alarm_command(other);
    test::ProgramRun run = run_program({QZGSMS_FAST_GATEWAY, "50"}, {other.folder.path()});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.out.find(" is in use by process " + std::to_string(gw.pid()) + " (instance folder " +
                           gw.folder.path().string() + ")"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(other.folder / "alarm-ran")) << "no technical alarm";
    EXPECT_TRUE(other.modem.command_lines().empty()) << "its port was never opened";
  }

  gw.drop_job("a1.sms", test::sms_job("+41791234567", "Boiler 3", 1));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
  EXPECT_EQ(gw.modem.sms().size(), 1u) << "sent once";
}

}  // namespace
}  // namespace qz
