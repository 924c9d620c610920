// The command lines of the shipped programs, run as processes: what they answer, with which
// exit code, and that answering touches nothing. A gateway started by mistake (qzgsmsd
// --help in a home folder) once wrote its settings there; --check must not even open the port.
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>

#include "modemsim/modem_simulator.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::read_file;
using test::run_program;
using test::TempFolder;
using test::write_file;

std::string changelog_version() {
  std::ifstream changelog(fs::path(QZGSMS_SOURCE_DIR) / "packaging" / "debian" / "changelog");
  std::string first;
  std::getline(changelog, first);
  std::smatch m;
  return std::regex_search(first, m, std::regex(R"(^qzgsms \(([^)]+)\))")) ? m[1].str() : "<none>";
}

bool has_line(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (auto& e : fs::recursive_directory_iterator(folder)) {
    entries[e.path().string()] = e.is_directory() ? "<dir>" : read_file(e.path());
  }
  return entries;
}

// An instance folder with every folder its settings name, on the simulated modem.
struct Instance {
  Instance() {
    for (const char* name : {"jobs", "done", "error", "tables", "log"}) fs::create_directory(folder / name);
    write_settings("");
  }
  void write_settings(const std::string& extra) {
    write_file(folder / "QZGSMS.INI", "[Config]\n" + extra + "Port=" + modem.slave_path() +
                                          "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\nWatchLogPath=tables\n");
  }
  test::ProgramRun check(test::ProgramSetup setup = {}) {
    setup.folder = folder.path();
    return run_program({QZGSMS_QZGSMSD, "--check"}, setup);
  }
  TempFolder folder;
  sim::ModemSimulator modem;
};

TEST(QzgsmsdCommandLine, HelpVersionAndUsageErrorsAnswerAndLeaveTheCurrentFolderAlone) {
  TempFolder here;
  test::ProgramRun help = run_program({QZGSMS_QZGSMSD, "--help"}, {here.path()});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("Usage: qzgsmsd [--instance DIR] [--check] [--status [--json]]\n", 0), 0u) << help.out;

  for (const char* option : {"--version", "-V"}) {
    test::ProgramRun version = run_program({QZGSMS_QZGSMSD, option}, {here.path()});
    EXPECT_EQ(version.exit_code, 0) << option;
    EXPECT_EQ(version.out, "qzgsmsd " + changelog_version() + "\n") << "the version is the package's";
  }

  test::ProgramRun wrong = run_program({QZGSMS_QZGSMSD, "--bogus"}, {here.path()});
  EXPECT_EQ(wrong.exit_code, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err, "qzgsmsd: unknown option '--bogus'\nTry 'qzgsmsd --help'.\n");

  test::ProgramRun missing = run_program({QZGSMS_QZGSMSD, "--instance", (here / "gone").string()}, {here.path()});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.err, "qzgsmsd: cannot use the instance folder " + (here / "gone").string() +
                             ": No such file or directory\n");

  EXPECT_TRUE(fs::is_empty(here.path())) << "no settings, log or journal written";
}

TEST(QzgsmsdCheck, AGoodInstanceIsShownAndPassesAlsoWhenNamedFromElsewhere) {
  Instance instance;
  TempFolder here;
  test::ProgramRun run =
      run_program({QZGSMS_QZGSMSD, "--instance", instance.folder.path().string(), "--check"}, {here.path()});
  EXPECT_EQ(run.exit_code, 0);
  const std::string folder = instance.folder.path().string();
  EXPECT_EQ(run.out, "qzgsms " + changelog_version() + ", instance folder " + folder + "\nSettings: " + folder +
                         "/QZGSMS.INI\nPort: " + instance.modem.slave_path() + ", Mode: 96,N,8,1\nWatchPath: " +
                         folder + "/jobs (FileMask *.sms)\nDonePath: " + folder + "/done\nErrorPath: " + folder +
                         "/error\nWatchLogPath: " + folder + "/tables (report tables)\nDaily log: " + folder +
                         "/log\nNo problem found\n");
  EXPECT_TRUE(fs::is_empty(here.path()));
}

TEST(QzgsmsdCheck, TheSampleSettingsOfThePackagePass) {
  Instance instance;
  std::string sample = read_file(fs::path(QZGSMS_SOURCE_DIR) / "examples" / "QZGSMS.INI");
  ASSERT_NE(sample.find("Port=/dev/ttyUSB0"), std::string::npos);
  sample.replace(sample.find("Port=/dev/ttyUSB0"), 17, "Port=" + instance.modem.slave_path());
  write_file(instance.folder / "QZGSMS.INI", sample);
  test::ProgramRun run = instance.check();
  EXPECT_EQ(run.exit_code, 0) << run.out;
}

TEST(QzgsmsdCheck, ABrokenInstanceIsListedAndFails) {
  Instance instance;
  fs::remove(instance.folder / "tables");
  instance.write_settings("Prot=/dev/ttyUSB0\nRetryCont=3\nRetryDelay=12x\nMode=96,Q,8,1\nPort=ttyUSB9\n");
  test::ProgramRun run = instance.check();
  EXPECT_EQ(run.exit_code, 1);
  for (const std::string& line : {
           "unknown key 'Prot' \u2014 did you mean 'Port'?"s,
           "unknown key 'RetryCont' \u2014 did you mean 'RetryCount'?"s,
           "RetryDelay=12x is not a number: 12 is used"s,
           "WatchLogPath " + (instance.folder / "tables").string() + " does not exist: no report table can be updated",
           "Mode '96,Q,8,1' cannot be read: the port keeps its line settings"s,
           "Port ttyUSB9 (" + (instance.folder / "ttyUSB9").string() + "): No such file or directory \u2014 did you mean /dev/ttyUSB9?",
           "6 problems found"s,
       }) {
    EXPECT_TRUE(has_line(run.out, line)) << line << "\n" << run.out;
  }
}

// What the start trips over later, or leaves open to every user, is said before it starts.
TEST(QzgsmsdCheck, WhatTheStartWouldTripOverIsAProblem) {
  auto file = [](const Instance& instance, const char* name, int mode) {
    write_file(instance.folder / name, "#!/bin/sh\n");
    fs::permissions(instance.folder / name, fs::perms(mode));
  };
  struct Case {
    std::string settings;
    std::function<void(const Instance&)> setup;
    std::function<std::string(const Instance&)> line;  // empty: no problem found
  } cases[] = {
      {"Port=/dev/null\n", {}, [](auto&) { return "Port /dev/null is not a serial device"s; }},
      {"Port=ttyUSB0\n", {},
       [](const Instance& i) {
         return "Port ttyUSB0 (" + (i.folder / "ttyUSB0").string() +
                "): No such file or directory \u2014 did you mean /dev/ttyUSB0?";
       }},
      {"PIN=12ab\n", {},
       [](auto&) {
         return "PIN is not 4 to 8 digits: the SIM refuses it when it asks for its PIN, and the gateway does not start"s;
       }},
      {"RetryDelay=-100\n", {},
       [](auto&) { return "RetryDelay=-100 is negative: a failed send is tried again at once, without a pause"s; }},
      {"", [&](const Instance& i) { file(i, "qzarun.cmd", 0644); },
       [](const Instance& i) {
         return "qzarun.cmd (" + (i.folder / "qzarun.cmd").string() +
                ") cannot be run (Permission denied): no technical alarm can go out";
       }},
      {"IncomingEnable=1\n", [&](const Instance& i) { file(i, "incoming_sms.bat", 0600); },
       [](const Instance& i) {
         return "incoming_sms.bat (" + (i.folder / "incoming_sms.bat").string() +
                ") cannot be run (Permission denied): received SMS are not handed on";
       }},
      {"PIN=1234\nMMSPWD=secret\n", [](const Instance& i) { fs::permissions(i.folder / "QZGSMS.INI", fs::perms(0644)); },
       [](const Instance& i) {
         return "QZGSMS.INI holds the PIN and the MMS password and every user may read it (mode 0644): chmod 640 " +
                (i.folder / "QZGSMS.INI").string();
       }},
      {"MMSPWD=secret\n", [](const Instance& i) { fs::permissions(i.folder / "QZGSMS.INI", fs::perms(0640)); }, {}},
      // A job filed into the watch folder would be read and sent again, without end.
      {"DonePath=jobs-link\n", [](const Instance& i) { fs::create_directory_symlink(i.folder / "jobs", i.folder / "jobs-link"); },
       [](const Instance& i) {
         return "DonePath " + (i.folder / "jobs-link").string() + " is the watch folder (WatchPath " +
                (i.folder / "jobs").string() +
                "): every job filed there would be read as a new job and sent again; give it a folder of its own "
                "(one inside the watch folder will do)";
       }},
      {"DonePath=jobs/done\n", [](const Instance& i) { fs::create_directory(i.folder / "jobs" / "done"); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    Instance instance;
    instance.write_settings(c.settings);
    if (c.setup) c.setup(instance);
    test::ProgramRun run = instance.check();
    if (!c.line) {
      EXPECT_EQ(run.exit_code, 0);
      EXPECT_TRUE(has_line(run.out, "No problem found")) << run.out;
      continue;
    }
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(has_line(run.out, c.line(instance))) << run.out;
    EXPECT_EQ(run.out.find("12ab"), std::string::npos) << "the PIN is never shown";
  }
}

TEST(QzgsmsdCheck, TheCheckCreatesWritesAndOpensNothing) {
  Instance instance;
  // What a start would change: missing keys, the job folders, the daily log, the journal.
  for (const char* name : {"jobs", "done", "error"}) fs::remove(instance.folder / name);
  write_file(instance.folder / "QZGSMS.INI", "[Config]\nPort=" + instance.modem.slave_path() +
                                                 "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\nWatchLogPath=.\n");
  const auto before = snapshot(instance.folder.path());

  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  const uint32_t changes = IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CLOSE_WRITE | IN_ATTRIB;
  ASSERT_GE(inotify_add_watch(watch, instance.folder.path().c_str(), changes), 0);
  ASSERT_GE(inotify_add_watch(watch, (instance.folder / "log").c_str(), changes), 0);
  ASSERT_GE(inotify_add_watch(watch, instance.modem.slave_path().c_str(), IN_OPEN), 0);
  // The watch on the port sees an open: ours, once.
  ::close(::open(instance.modem.slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
  char events[4096];
  ASSERT_GT(::read(watch, events, sizeof events), 0) << "inotify does not see opens of the port here";

  test::ProgramRun run = instance.check();
  EXPECT_EQ(run.exit_code, 0) << "folders the start makes are notes, not problems\n" << run.out;
  EXPECT_TRUE(has_line(run.out, "WatchPath " + (instance.folder / "jobs").string() +
                                    " does not exist yet: the gateway creates it at start"));
  EXPECT_LT(::read(watch, events, sizeof events), 0) << "the check changed the instance or opened the port";
  ::close(watch);
  EXPECT_EQ(snapshot(instance.folder.path()), before);
  EXPECT_TRUE(instance.modem.command_lines().empty());
}

TEST(QzgsmsdCheck, WhatTheGatewaysUserMayNotWriteIsSaid) {
  if (::geteuid() == 0 && !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "no setpriv to give up root";
  Instance instance;
  // As a user with no rights beyond the mode bits (nobody, when the tests run as root): the
  // instance folder and the watch folder are read-only to it.
  for (const char* name : {"done", "error", "tables"}) fs::permissions(instance.folder / name, fs::perms::all);
  fs::permissions(instance.folder / "QZGSMS.INI", fs::perms(0644));
  fs::permissions(instance.folder / "jobs", fs::perms(0555));
  fs::permissions(instance.folder.path(), fs::perms(0555));
  test::ProgramRun run = instance.check({{}, true});
  fs::permissions(instance.folder.path(), fs::perms::owner_all);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(has_line(run.out, "QZGSMS.INI cannot be written (" + (instance.folder / "QZGSMS.INI").string() +
                                    ": Permission denied): the defaults of missing keys and the time of a technical "
                                    "alarm are not stored"))
      << run.out;
  EXPECT_TRUE(has_line(run.out, "WatchPath " + (instance.folder / "jobs").string() +
                                    " cannot be written (Permission denied): job files cannot be taken out of it"));
}

TEST(DbfTool, CreateKeepsATableThatIsThereUnlessForced) {
  TempFolder here;
  const std::string table = (here / "plant.dbf").string();
  ASSERT_EQ(run_program({QZGSMS_DBFTOOL, "create", table, "3"}).exit_code, 0);
  const std::string made = read_file(table);

  test::ProgramRun again = run_program({QZGSMS_DBFTOOL, "create", table, "5"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.err, "qzgsms-dbftool: " + table + " exists already: not replaced (give --force to replace it)\n");
  EXPECT_EQ(read_file(table), made) << "the subscribers' table is untouched";

  EXPECT_EQ(run_program({QZGSMS_DBFTOOL, "create", "--force", table, "5"}).exit_code, 0);
  EXPECT_NE(read_file(table), made);
  EXPECT_EQ(run_program({QZGSMS_DBFTOOL, "create", (here / "other.dbf").string(), "3O"}).exit_code, 2);
  EXPECT_FALSE(fs::exists(here / "other.dbf"));
}

TEST(ToolCommandLines, TheSimulatorAndTheTableToolTellTheirVersion) {
  for (const auto& [program, name] :
       {std::pair{QZGSMS_DBFTOOL, "qzgsms-dbftool"}, std::pair{QZGSMS_MODEMSIM, "qzgsms-modemsim"}}) {
    for (const char* option : {"--version", "-V"}) {
      test::ProgramRun version = run_program({program, option});
      EXPECT_EQ(version.exit_code, 0) << name << " " << option;
      EXPECT_EQ(version.out, std::string(name) + " " + changelog_version() + "\n");
    }
    EXPECT_NE(run_program({program, "--help"}).out.find("-V, --version"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace qz
