#include "support/run_program.h"

#include "support/eventually.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

extern char** environ;

namespace qz::test {

namespace {

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
  posix_spawn_file_actions_t actions;
};

}  // namespace

ProgramRun run_program(const std::vector<std::string>& argv_in, const ProgramSetup& setup) {
  std::vector<std::string> argv = argv_in;
  if (setup.unprivileged && ::geteuid() == 0) {
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  }
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");

  SpawnActions spawn;
  posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&spawn.actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&spawn.actions, err[1], 2);
  if (!setup.folder.empty()) posix_spawn_file_actions_addchdir_np(&spawn.actions, setup.folder.c_str());
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);

  ProgramRun run;
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, args[0], &spawn.actions, nullptr, args.data(), environ);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(out[0]);
    ::close(err[0]);
    run.err = "cannot start " + argv[0];
    return run;
  }

  const auto deadline = std::chrono::steady_clock::now() + setup.timeout;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&run.out, &run.err};
  int open_streams = 2;
  bool killed = false;
  while (open_streams > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 && !killed) {
      ::kill(pid, SIGKILL);
      killed = true;
    }
    if (::poll(fds, 2, killed ? 1000 : static_cast<int>(left.count()) + 1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        into[i]->append(buf, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

bool takes_stop_signals(int pid, std::chrono::milliseconds limit) {
  return eventually([pid] {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigBlk:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
    }
    return false;
  }, limit);
}

}  // namespace qz::test
