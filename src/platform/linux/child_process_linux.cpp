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
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <thread>

#include "process/child_process.h"
#include "process/command_line.h"

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

std::string error_text(int err) {
  char buf[256];
  // The GNU strerror_r returns the text, which may or may not be in `buf`.
  return ::strerror_r(err, buf, sizeof buf);
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

std::filesystem::path absolute_folder(std::filesystem::path folder) {
  // The command is started inside the folder, so a relative folder must not be applied
  // a second time to a path that already contains it.
  if (folder.empty()) return folder;
  std::error_code ec;
  auto abs = std::filesystem::absolute(folder, ec);
  return ec ? folder : abs;
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

ChildProcess::ChildProcess(std::vector<std::string> argv, std::filesystem::path instance_folder)
    : argv_(std::move(argv)), instance_folder_(absolute_folder(std::move(instance_folder))) {
  command_line_ = describe(argv_);
}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::string command_line,
                           std::filesystem::path instance_folder)
    : argv_(std::move(argv)),
      command_line_(std::move(command_line)),
      instance_folder_(absolute_folder(std::move(instance_folder))) {}

ChildProcess::~ChildProcess() {
  if (!argv_.empty() && is_running()) stop();
  reap_detached_children();
}

bool ChildProcess::start(bool /*minimised*/, bool /*new_console*/) {
  error_.clear();
  reap_detached_children();
  if (argv_.empty()) {
    error_ = "no command";
    return false;
  }
  if (is_running()) {
    error_ = "already running";
    return false;
  }
  for (const std::string& arg : argv_) {
    // An argument reaches the command as a C string; a NUL would silently cut it.
    if (arg.find('\0') != std::string::npos) {
      error_ = "an argument holds a NUL byte";
      return false;
    }
  }
  std::string file;
  if (int err = resolve(argv_[0], instance_folder_, &file); err != 0) {
    error_ = error_text(err);
    return false;
  }
  std::vector<char*> args;
  args.reserve(argv_.size() + 1);
  for (std::string& arg : argv_) args.push_back(arg.data());
  args.push_back(nullptr);

  SpawnSetup setup(instance_folder_);
  int err = setup.err;
  pid_t pid = 0;
  // glibc reports a failed exec (ENOEXEC for a script without "#!", a bad working
  // folder, ...) as the result here, so every failure is seen by the caller.
  if (err == 0)
    err = posix_spawn(&pid, file.c_str(), &setup.actions, &setup.attr, args.data(), environ);
  if (err != 0) {
    error_ = error_text(err);
    return false;
  }
  pid_ = pid;
  exit_code_ = 0;
  return true;
}

void ChildProcess::detach() {
  if (pid_ > 0) hand_to_reaper(static_cast<pid_t>(pid_));
  pid_ = 0;
  exit_code_ = 0;
  reap_detached_children();
}

void ChildProcess::collect(int status) {
  exit_code_ = exit_code_of(status);
  pid_ = 0;
}

bool ChildProcess::is_running() {
  if (argv_.empty() || pid_ <= 0) return false;
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
    if (r == 0) return true;
    if (r == static_cast<pid_t>(pid_)) {
      collect(status);
      return false;
    }
    if (errno == EINTR) continue;
    // Not our child any more (collected elsewhere): nothing left to hold.
    pid_ = 0;
    return false;
  }
}

void ChildProcess::stop() {
  if (!is_running()) return;
  auto pid = static_cast<pid_t>(pid_);
  // The command leads its own session and group, so the group id is its pid.
  if (::kill(-pid, SIGTERM) != 0) ::kill(pid, SIGTERM);
  using namespace std::chrono_literals;
  auto deadline = std::chrono::steady_clock::now() + 500ms;
  while (is_running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      if (::kill(-pid, SIGKILL) != 0) ::kill(pid, SIGKILL);
      // A killed process may take a moment in the kernel; it is collected later rather
      // than waited for here.
      if (is_running()) {
        hand_to_reaper(pid);
        pid_ = 0;
      }
      return;
    }
    std::this_thread::sleep_for(5ms);
  }
}

}  // namespace qz
