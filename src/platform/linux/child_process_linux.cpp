// Starting commands on Linux (process/process_system.h): posix_spawn in a new session,
// and the children collected by pid.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "process/child_process.h"
#include "process/process_system.h"

namespace qz {

namespace {

// Detached children not yet collected. Only pids we started and have not collected are
// listed: the kernel cannot hand such a pid to another process while its zombie is ours,
// so waiting on it by pid never touches anyone else's child.
std::mutex& detached_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<pid_t>& detached_pids() {
  static std::vector<pid_t> pids;
  return pids;
}

// True when `pid` no longer needs collecting: it has been collected now, or it is not our
// child any more (someone else waited for it).
bool collected(pid_t pid, int* status) {
  for (;;) {
    pid_t r = ::waitpid(pid, status, WNOHANG);
    if (r == pid) return true;
    if (r == 0) return false;
    if (errno != EINTR) return true;
  }
}

void hand_to_reaper(pid_t pid) {
  int status = 0;
  if (collected(pid, &status)) return;
  std::lock_guard lock(detached_mutex());
  detached_pids().push_back(pid);
}

// 0 when `path` is a regular file we may execute, else the errno exec would give.
int runnable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EACCES;
  if (::access(path.c_str(), X_OK) != 0) return errno;
  return 0;
}

// The file to execute for `name`, or an errno. A name without a slash: the instance
// folder, then each PATH entry (empty entries skipped: the instance folder, which is the
// working directory in production, has been searched already). With a slash: the path,
// relative ones from the instance folder.
int resolve(const std::string& name, const std::filesystem::path& folder, std::string* found) {
  if (name.empty()) return ENOENT;
  if (name.find('/') != std::string::npos) {
    std::filesystem::path p(name);
    *found = (p.is_absolute() || folder.empty()) ? name : (folder / p).string();
    return runnable(*found);
  }
  std::vector<std::string> candidates;
  candidates.push_back(folder.empty() ? name : (folder / name).string());
  std::string path_list;
  if (const char* env = std::getenv("PATH")) {
    path_list = env;
  } else {
    path_list = "/bin:/usr/bin";
  }
  std::string_view rest(path_list);
  while (!rest.empty()) {
    std::size_t colon = rest.find(':');
    std::string_view dir = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!dir.empty()) candidates.push_back(std::string(dir) + "/" + name);
  }
  // Like execvp: a file found but not runnable is remembered, and the search goes on.
  int err = ENOENT;
  for (const std::string& candidate : candidates) {
    int r = runnable(candidate);
    if (r == 0) {
      *found = candidate;
      return 0;
    }
    if (r != ENOENT && r != ENOTDIR) {
      if (err == ENOENT) *found = candidate;
      err = r;
    }
  }
  return err;
}

// Owns the spawn attributes and file actions for one start.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  int err = 0;

  explicit SpawnSetup(const std::filesystem::path& folder) {
    if ((err = posix_spawn_file_actions_init(&actions)) != 0) return;
    if ((err = posix_spawnattr_init(&attr)) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return;
    }
    ok_ = true;
    // The command must not hold the gateway's serial port, log files or watches, so
    // nothing is inherited beyond the three standard streams, which go to /dev/null:
    // no terminal is there to show them and a full pipe must never block the command.
    step(posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0));
    step(posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0));
    step(posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0));
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    step(posix_spawn_file_actions_addclosefrom_np(&actions, 3));
#endif
    if (!folder.empty()) step(posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()));

    // A new session: no controlling terminal, and a process group of its own that stop()
    // can end as a whole. The gateway may block or ignore signals for its own threads
    // (SIGTERM, SIGINT, SIGPIPE); the command starts with none of that.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    step(posix_spawnattr_setsigmask(&attr, &none));
    step(posix_spawnattr_setsigdefault(&attr, &all));
    step(posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
  }
  ~SpawnSetup() {
    if (!ok_) return;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

 private:
  void step(int r) {
    if (err == 0) err = r;
  }
  bool ok_ = false;
};

std::uint32_t exit_code_of(int status) {
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
  return 0;
}

}  // namespace

void reap_detached_children() {
  std::lock_guard lock(detached_mutex());
  auto& pids = detached_pids();
  int status = 0;
  pids.erase(
      std::remove_if(pids.begin(), pids.end(), [&](pid_t pid) { return collected(pid, &status); }),
      pids.end());
}

int find_command(const std::string& name, const std::filesystem::path& instance_folder, std::string* found) {
  return resolve(name, instance_folder, found);
}

namespace process_system {

int spawn(const std::string& file, const std::vector<std::string>& argv, const std::string& /*title*/,
          const std::filesystem::path& folder, bool /*minimized*/, bool /*new_console*/, Started& started) {
  std::vector<std::string> words = argv;
  std::vector<char*> args;
  args.reserve(words.size() + 1);
  for (std::string& word : words) args.push_back(word.data());
  args.push_back(nullptr);

  SpawnSetup setup(folder);
  int err = setup.err;
  pid_t pid = 0;
  // glibc reports a failed exec (ENOEXEC for a script without "#!", a bad working
  // folder, ...) as the result here, so every failure is seen by the caller.
  if (err == 0) err = posix_spawn(&pid, file.c_str(), &setup.actions, &setup.attr, args.data(), environ);
  if (err != 0) return err;
  started.process = pid;
  started.pid = pid;
  return 0;
}

State poll(Handle process, uint32_t& exit_code) {
  const auto pid = static_cast<pid_t>(process);
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == 0) return State::kRunning;
    if (r == pid) {
      exit_code = exit_code_of(status);
      return State::kEnded;
    }
    if (errno == EINTR) continue;
    return State::kNotOurs;  // collected elsewhere
  }
}

// The command leads its own session and group, so the group id is its pid.
void ask_to_end(Handle process) {
  const auto pid = static_cast<pid_t>(process);
  if (::kill(-pid, SIGTERM) != 0) ::kill(pid, SIGTERM);
}

void force_end(Handle process) {
  const auto pid = static_cast<pid_t>(process);
  if (::kill(-pid, SIGKILL) != 0) ::kill(pid, SIGKILL);
}

void let_go(Handle process) { hand_to_reaper(static_cast<pid_t>(process)); }

}  // namespace process_system

}  // namespace qz
