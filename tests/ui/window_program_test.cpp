// The window program as a process: its command line answers without a display, and a stop
// signal ends it in every state, also while it waits for the operator's first answer.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "modemsim/modem_simulator.h"
#include "support/eventually.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

extern char** environ;

namespace qz {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using test::run_program;
using test::TempFolder;

// The window program started in `folder`, on Qt's offscreen platform (the test's own
// environment). Killed if a test leaves it running.
class WindowProcess {
 public:
  explicit WindowProcess(const fs::path& folder) {
    std::vector<std::string> args{QZGSMS_WINDOW_PROGRAM, "--instance", folder.string()};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~WindowProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // The exit code once it has ended by itself, within `limit_ms`; -1 when it did not.
  int stop_and_wait(int limit_ms, int signal = SIGTERM) {
    ::kill(pid_, signal);
    for (int waited = 0; waited < limit_ms; waited += 50) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(50ms);
    }
    return -1;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

TEST(WindowProgram, HelpAndVersionAnswerWithoutADisplayAndWrongArgumentsAreRefused) {
  TempFolder here;
  const std::vector<std::string> no_display{"/usr/bin/env", "-u", "QT_QPA_PLATFORM", "-u", "DISPLAY",
                                            "-u", "WAYLAND_DISPLAY", QZGSMS_WINDOW_PROGRAM};
  auto with = [&](std::vector<std::string> args) {
    std::vector<std::string> argv = no_display;
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, {here.path()});
  };
  test::ProgramRun help = with({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("Usage: qzgsms [--instance DIR]\n", 0), 0u) << help.out;
  for (const char* option : {"--version", "-V"}) {
    test::ProgramRun version = with({option});
    EXPECT_EQ(version.exit_code, 0) << option;
    EXPECT_EQ(version.out.rfind("qzgsms ", 0), 0u) << version.out;
  }

  test::ProgramRun check = with({"--check"});
  EXPECT_EQ(check.exit_code, 2) << "the window has no check of its own: qzgsmsd --check is the one";
  EXPECT_EQ(check.err, "qzgsms: unknown option '--check'\nTry 'qzgsms --help'.\n");
  // What the toolkit does not take is refused too, once the toolkit has had its options.
  test::ProgramRun stray = run_program({QZGSMS_WINDOW_PROGRAM, "-platform", "offscreen", "stray"}, {here.path()});
  EXPECT_EQ(stray.exit_code, 2);
  EXPECT_NE(stray.err.find("qzgsms: unexpected argument 'stray'\n"), std::string::npos) << stray.err;
  EXPECT_TRUE(fs::is_empty(here.path())) << "answering writes nothing";
}

TEST(WindowProgram, StopSignalWhileTheFirstQuestionIsOpenEndsTheProgram) {
  // A hang-up of the terminal or Ctrl-\ is a stop like any other, not the default end.
  for (int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal));
    // No qzalarm.ini: the window asks whether to take over the alarm application's SMS
    // before it even shows, and no gateway thread runs yet.
    TempFolder instance;
    WindowProcess window(instance.path());
    ASSERT_GT(window.pid(), 0);
    ASSERT_TRUE(test::takes_stop_signals(window.pid()));
    std::this_thread::sleep_for(300ms);  // into the question, most likely; the outcome must not depend on it
    EXPECT_EQ(window.stop_and_wait(30000, signal), 0);
    EXPECT_FALSE(fs::exists(instance / "qzalarm.ini")) << "nobody answered the question";
  }
}

TEST(WindowProgram, StopSignalStopsTheRunningGatewayInOrder) {
  sim::ModemSimulator modem;
  TempFolder instance;
  test::write_file(instance / "qzalarm.ini", "[qzasms]\r\nSendWithQzgsms=1\r\n");
  fs::create_directory(instance / "jobs");
  test::write_file(instance / "QZGSMS.INI", "[Config]\r\nPort=" + modem.slave_path() + "\r\nWatchPath=jobs\r\n");
  WindowProcess window(instance.path());
  ASSERT_GT(window.pid(), 0);
  ASSERT_TRUE(test::takes_stop_signals(window.pid()));
  // The gateway is up once it has written its settings out with the missing keys.
  ASSERT_TRUE(eventually([&] {
    return test::read_file(instance / "QZGSMS.INI").find("RetryCount") != std::string::npos;
  }, 30s));
  EXPECT_EQ(window.stop_and_wait(90000), 0);
}

}  // namespace
}  // namespace qz
