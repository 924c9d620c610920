#include "process/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "process/command_line.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;

bool wait_until(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void write_script(const fs::path& path, const std::string& body, bool executable = true) {
  test::write_file(path, body);
  ::chmod(path.c_str(), executable ? 0755 : 0644);
}

// State ('R', 'S', 'Z', ...; 0 when gone) and parent of a process, from /proc.
std::pair<char, long> proc_stat(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string line;
  char state = 0;
  long ppid = 0;
  auto close = std::getline(in, line) ? line.rfind(')') : std::string::npos;
  if (close == std::string::npos ||
      std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) != 2)
    return {0, 0};
  return {state, ppid};
}
char process_state(long pid) { return proc_stat(std::to_string(pid)).first; }

int zombie_children() {
  int zombies = 0;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    auto [state, ppid] = proc_stat(it->path().filename().string());
    if (state == 'Z' && ppid == static_cast<long>(::getpid())) ++zombies;
  }
  return zombies;
}

// True once `pid` is collected, so no zombie of it is left with us.
bool collected(long pid) {
  errno = 0;
  return ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class EnvOverride {
 public:
  EnvOverride(const char* name, const std::string& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvOverride() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Writes its argument count, then each argument ended by a NUL byte, to args.out in its
// working directory.
const char kRecordScript[] =
    "#!/bin/sh\n"
    "printf '%s\\n' \"$#\" > args.out\n"
    "for a in \"$@\"; do printf '%s\\000' \"$a\" >> args.out; done\n";

class ChildProcessTest : public ::testing::Test {
 protected:
  void TearDown() override {
    reap_detached_children();
    EXPECT_EQ(zombie_children(), 0);
  }

  // Runs to the end, which must come within the time limit.
  static void run_to_end(ChildProcess& child) {
    ASSERT_TRUE(wait_until([&] { return !child.is_running(); })) << child.command_line();
  }

  test::TempFolder folder;
};

TEST_F(ChildProcessTest, HostileValueArrivesAsOneArgumentByteForByteAndRunsNothing) {
  write_script(folder / "record", kRecordScript);
  // Should anything reach a shell after all, "~" must not be the real home folder.
  fs::create_directory(folder / "home");
  test::write_file(folder / "home" / "keep", "x");
  EnvOverride home("HOME", (folder / "home").string());

  std::string hostile =
      "\"'\"' ; $(touch pwned) `touch pwned` ; rm -rf ~; \n touch pwned\r\n"
      "& touch pwned | touch pwned > pwned < x %s %d \\\" '";
  for (int b = 0x80; b <= 0xFF; ++b) hostile.push_back(static_cast<char>(b));
  std::string second = "$(touch pwned)\n;touch pwned;";

  std::vector<std::string> argv = build_argv("record \"%s\" %s", {hostile, second});
  ChildProcess child(argv, folder.path());
  ASSERT_TRUE(child.start(true, true)) << error_line(child.error());
  long pid = child.process_id();
  run_to_end(child);
  EXPECT_EQ(child.exit_code(), 0u);
  EXPECT_TRUE(collected(pid));

  std::string expected = "2\n" + hostile + std::string(1, '\0') + second + std::string(1, '\0');
  EXPECT_EQ(test::read_file(folder / "args.out"), expected);
  EXPECT_FALSE(fs::exists(folder / "pwned"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
  EXPECT_TRUE(fs::exists(folder / "home" / "keep"));
}

TEST_F(ChildProcessTest, BareNameIsLookedUpInInstanceFolderBeforePath) {
  test::TempFolder on_path;
  EnvOverride path("PATH",
                   on_path.path().string() + ":" + (::getenv("PATH") ? ::getenv("PATH") : "/bin"));
  write_script(folder / "qz_probe", "#!/bin/sh\necho instance > which.out\n");
  write_script(on_path / "qz_probe", "#!/bin/sh\necho path > which.out\n");
  write_script(on_path / "qz_only_on_path", "#!/bin/sh\necho only-path > which.out\n");

  auto run = [&](const std::string& name) {
    ChildProcess child(build_argv(name, {}), folder.path());
    if (!child.start()) return "not started: " + error_text(child.error().code);
    run_to_end(child);
    return test::read_file(folder / "which.out");
  };
  EXPECT_EQ(run("qz_probe"), "instance\n");
  EXPECT_EQ(run("qz_only_on_path"), "only-path\n");
  // A name with a slash is a path, relative ones from the instance folder.
  EXPECT_EQ(run("./qz_probe"), "instance\n");
  EXPECT_EQ(run((on_path / "qz_probe").string()), "path\n");

  // Found but not executable in the instance folder: the search goes on, like execvp.
  ::chmod((folder / "qz_probe").c_str(), 0644);
  EXPECT_EQ(run("qz_probe"), "path\n");
  ::chmod((on_path / "qz_probe").c_str(), 0644);
  EXPECT_EQ(run("qz_probe"), "not started: " + std::string(::strerror(EACCES)));
}

TEST_F(ChildProcessTest, CommandThatCannotStartGivesFalseWithReason) {
  ChildProcess missing({"qz_no_such_command_anywhere", "x"}, folder.path());
  EXPECT_FALSE(missing.start());
  EXPECT_EQ(missing.error().code, ENOENT);
  EXPECT_FALSE(missing.is_running());
  EXPECT_EQ(missing.process_id(), 0);

  // Never handed to a shell, so a script without "#!" is not runnable.
  write_script(folder / "no_interpreter", "echo hi > ran.out\n");
  ChildProcess plain({"no_interpreter"}, folder.path());
  EXPECT_FALSE(plain.start());
  EXPECT_EQ(plain.error().code, ENOEXEC);
  EXPECT_FALSE(fs::exists(folder / "ran.out"));

  ChildProcess none;
  EXPECT_FALSE(none.start());
  EXPECT_FALSE(none.is_running());
  ChildProcess empty_format(build_argv("  ", {}), folder.path());
  EXPECT_FALSE(empty_format.start());

  write_script(folder / "record", kRecordScript);
  ChildProcess with_nul({"record", std::string("a\0b", 3)}, folder.path());
  EXPECT_FALSE(with_nul.start());
  EXPECT_FALSE(fs::exists(folder / "args.out"));
}

TEST_F(ChildProcessTest, IsRunningFalseOnceEndedAndAgainAtOnce) {
  write_script(folder / "gate", "#!/bin/sh\nwhile [ ! -e go ]; do sleep 0.01; done\nexit 3\n");
  ChildProcess child({"gate"}, folder.path());
  ASSERT_TRUE(child.start());
  long pid = child.process_id();
  EXPECT_GT(pid, 0);
  EXPECT_TRUE(child.is_running());
  EXPECT_FALSE(child.start()) << "a second start while the first runs";
  EXPECT_EQ(child.process_id(), pid);

  test::write_file(folder / "go", "");
  run_to_end(child);
  EXPECT_EQ(child.exit_code(), 3u);
  EXPECT_EQ(child.process_id(), 0);
  EXPECT_TRUE(collected(pid));
  EXPECT_FALSE(child.is_running());
  EXPECT_EQ(child.exit_code(), 3u);
}

TEST_F(ChildProcessTest, StartsWithNullStreamsAndNoInheritedDescriptors) {
  // A descriptor the gateway left inheritable (no close-on-exec), such as a port.
  int fd = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  int high = ::fcntl(fd, F_DUPFD, 77);
  ::close(fd);
  ASSERT_GE(high, 77);
  write_script(folder / "env",
               "#!/bin/sh\n"
               // Read from a subshell, so the shell's own fd 1 is not yet redirected.
               "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
               "echo \"$streams\" > env.out\n"
               "if [ -e /proc/$$/fd/$1 ]; then echo inherited; else echo closed; fi >> env.out\n");
  ChildProcess child({"env", std::to_string(high)}, folder.path());
  bool started = child.start(false, false);
  ::close(high);
  ASSERT_TRUE(started) << error_line(child.error());
  run_to_end(child);
  EXPECT_EQ(test::read_file(folder / "env.out"), "/dev/null\n/dev/null\n/dev/null\nclosed\n");
}

TEST_F(ChildProcessTest, StopEndsTheCommandAndWhatItStarted) {
  // Even with SIGTERM blocked in the caller (a daemon waiting for its own signals), the
  // command starts with a clean mask and SIGTERM ends it.
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, &old);
  write_script(folder / "sleeper", "#!/bin/sh\nsleep 30 &\necho $! > sleep.pid\nwait\n");
  ChildProcess child({"sleeper"}, folder.path());
  bool started = child.start();
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ASSERT_TRUE(started) << error_line(child.error());
  long pid = child.process_id();
  ASSERT_TRUE(wait_until(
      [&] { return test::read_file(folder / "sleep.pid").find('\n') != std::string::npos; }));
  long sleep_pid = std::stol(test::read_file(folder / "sleep.pid"));

  child.stop();
  EXPECT_FALSE(child.is_running());
  EXPECT_EQ(child.process_id(), 0);
  EXPECT_EQ(child.exit_code(), 128u + SIGTERM);
  EXPECT_TRUE(collected(pid));
  // The grandchild belonged to the same process group and is gone (or a zombie of init).
  bool gone = wait_until([&] {
    char s = process_state(sleep_pid);
    return s == 0 || s == 'Z';
  });
  if (!gone) ::kill(static_cast<pid_t>(sleep_pid), SIGKILL);
  EXPECT_TRUE(gone);
}

TEST_F(ChildProcessTest, StopKillsCommandThatIgnoresTerm) {
  write_script(folder / "stubborn",
               "#!/bin/sh\ntrap '' TERM\necho up > up.out\nwhile :; do sleep 0.05; done\n");
  ChildProcess child({"stubborn"}, folder.path());
  ASSERT_TRUE(child.start());
  long pid = child.process_id();
  ASSERT_TRUE(wait_until([&] { return fs::exists(folder / "up.out"); }));
  child.stop();
  EXPECT_FALSE(child.is_running());
  // Collected here or handed on; either way, nothing of it stays for long.
  EXPECT_TRUE(wait_until([&] {
    reap_detached_children();
    return collected(pid);
  }));
}

TEST_F(ChildProcessTest, ReleaseStopsCommandThatWasNotDetached) {
  write_script(folder / "sleeper", "#!/bin/sh\nexec sleep 30\n");
  long pid = 0;
  {
    ChildProcess child({"sleeper"}, folder.path());
    ASSERT_TRUE(child.start());
    pid = child.process_id();
  }
  EXPECT_TRUE(collected(pid));
}

TEST_F(ChildProcessTest, DetachedCommandRunsOnAndIsCollectedAfterItEnds) {
  write_script(folder / "gate",
               "#!/bin/sh\nwhile [ ! -e go ]; do sleep 0.01; done\necho done > done.out\n");
  long pid = 0;
  {
    // The gateway's sequence: make, start, detach, release.
    ChildProcess child(build_argv("gate", {}), folder.path());
    ASSERT_TRUE(child.start(true, true));
    pid = child.process_id();
    child.detach();
    EXPECT_EQ(child.process_id(), 0);
    EXPECT_FALSE(child.is_running());
  }
  // Released, yet still running on its own.
  EXPECT_NE(process_state(pid), 0);
  EXPECT_NE(process_state(pid), 'Z');

  test::write_file(folder / "go", "");
  ASSERT_TRUE(
      wait_until([&] { return fs::exists(folder / "done.out") && process_state(pid) == 'Z'; }));

  // The next command of the gateway collects it.
  write_script(folder / "quick", "#!/bin/sh\nexit 0\n");
  ChildProcess next({"quick"}, folder.path());
  ASSERT_TRUE(next.start());
  long next_pid = next.process_id();
  next.detach();
  EXPECT_TRUE(collected(pid));
  EXPECT_TRUE(wait_until([&] {
    reap_detached_children();
    return collected(next_pid);
  }));
}

}  // namespace
}  // namespace qz
