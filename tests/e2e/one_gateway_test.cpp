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

// A done, error or report folder that is the watch folder sent one job without end: its
// filed copy matches the mask there. The start refuses such settings, however the folder is
// spelt; a copy that lands there all the same (the done folder made a link to the watch
// folder while the gateway runs) is passed over, never read back as a new job.
TEST_F(OneGatewayTest, AJobFiledIntoTheWatchFolderIsNeverReadBack) {
  struct Case {
    const char* settings;
    const char* key;
  } refused[] = {
      {"DonePath=./jobs/\n", "DonePath"},
      {"ErrorPath=jobs-link\n", "ErrorPath"},
      {"MoveJobToDoneOrErrorPath=0\nWatchLogPath=jobs\n", "WatchLogPath"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.settings);
    test::GatewayInstance other;
    other.drop_job("a1.sms", test::sms_job("+41791234567", "Boiler 3", 1));
    fs::create_directory_symlink(other.watch(), other.folder / "jobs-link");
    other.write_settings(c.settings);
    test::ProgramRun run = run_program({QZGSMS_FAST_GATEWAY, "50"}, {other.folder.path()});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.out.find(std::string(c.key) + " "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" is the watch folder (WatchPath " + other.watch().string() + ")"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("The gateway does not start: a job it files would land in its watch folder"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(other.modem.command_lines().empty()) << "its port was never opened";
  }

  gw.write_settings("DonePath=done-link\n");
  fs::create_directory(gw.watch());
  fs::create_directory(gw.done());
  fs::create_directory_symlink(gw.done(), gw.folder / "done-link");
  start_and_wait(gw);
  fs::remove(gw.folder / "done-link");
  fs::create_directory_symlink(gw.watch(), gw.folder / "done-link");
  gw.drop_job("a1.sms", test::sms_job("+41791234567", "Boiler 3", 1));
  ASSERT_TRUE(eventually([&] { return files_in(gw.watch()).size() == 1 && files_in(gw.watch())[0] != "a1.sms"; }));
  // The scan that admits the next job lists the copy (its time-stamped name sorts first).
  gw.drop_job("a2.sms", test::sms_job("+41791234567", "Boiler 4", 2));
  ASSERT_TRUE(eventually([&] { return files_in(gw.watch()).size() == 2 && files_in(gw.watch())[1] != "a2.sms"; }));
  EXPECT_EQ(count_of(gw.daily_log(), "Sending alarm plant to +41791234567"), 2u);
  EXPECT_EQ(test::accepted_texts(gw.modem), (std::map<std::string, int>{{"Boiler 3", 1}, {"Boiler 4", 1}}));
}

// The lock is on the folder, not on its name. A watch folder renamed, or deleted and made
// again, while the gateway runs left a new folder under the name that a second gateway could
// claim and serve as well: every job twice. The new folder is claimed in turn; one that
// another gateway holds already is left to it.
TEST_F(OneGatewayTest, AWatchFolderMadeAgainIsClaimedAgain) {
  gw.write_settings("WatchTimeout=1\n");
  fs::create_directory(gw.watch());
  start_and_wait(gw);
  fs::rename(gw.watch(), gw.folder / "jobs.old");
  fs::create_directory(gw.watch());
  ASSERT_TRUE(eventually([&] { return gw.daily_log().find(" (renamed, or deleted and made again): locked again") != std::string::npos; }));

  test::GatewayInstance other;
  other.write_settings("WatchPath=" + gw.watch().string() + "\n");
  test::ProgramRun run = run_program({QZGSMS_FAST_GATEWAY, "50"}, {other.folder.path()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find(" is in use by process " + std::to_string(gw.pid())), std::string::npos) << run.out;
  for (int n = 1; n <= 10; ++n) gw.drop_job("a" + std::to_string(n) + ".sms", test::sms_job("+41791234567", "Alarm " + std::to_string(n), n));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 10; }));
  EXPECT_EQ(gw.modem.sms().size(), 10u) << "each sent once";

  // A folder that another gateway holds takes this one's place under the name.
  test::GatewayInstance holder;
  fs::create_directory(holder.folder / "staging");
  holder.write_settings("WatchPath=" + (holder.folder / "staging").string() + "\n");
  holder.start();
  ASSERT_TRUE(eventually([&] { return holder.daily_log().find("SignalThread started") != std::string::npos; }));
  fs::rename(gw.watch(), gw.folder / "jobs.older");
  fs::rename(holder.folder / "staging", gw.watch());
  EXPECT_TRUE(eventually([&] { return gw.daily_log().find("which got the new folder under this name first: no job is taken from it") != std::string::npos; }));
}

}  // namespace
}  // namespace qz
