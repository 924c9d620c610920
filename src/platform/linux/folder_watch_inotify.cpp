#include <fnmatch.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "core/clock.h"
#include "core/worker_progress.h"
#include "jobs/folder_watch.h"

namespace qz {

FolderWatch::FolderWatch(const std::filesystem::path& folder) : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return;
  // The folder itself moved or deleted wakes the reader too: the name may soon stand for
  // another folder.
  if (inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVE_SELF | IN_DELETE_SELF) < 0) {
    ::close(fd);
    return;
  }
  watch_ = fd;
}

FolderWatch::~FolderWatch() {
  if (watch_ >= 0) ::close(static_cast<int>(watch_));
  if (wake_ >= 0) ::close(static_cast<int>(wake_));
}

void FolderWatch::wake() {
  if (wake_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(static_cast<int>(wake_), &one, sizeof one);
}

bool FolderWatch::active() const { return watch_ >= 0; }

bool FolderWatch::wait(int64_t ms) {
  ProgressWait waiting(ms);
  auto real = std::chrono::duration_cast<std::chrono::milliseconds>(clock().real_duration(ms));
  int timeout = static_cast<int>(std::max<int64_t>(real.count(), ms > 0 ? 1 : 0));
  if (watch_ < 0) {
    clock().sleep_ms(ms);
    return false;
  }
  pollfd p[2] = {{static_cast<int>(watch_), POLLIN, 0}, {static_cast<int>(wake_), POLLIN, 0}};
  if (::poll(p, wake_ >= 0 ? 2 : 1, timeout) <= 0) return false;
  if (p[1].revents & POLLIN) return false;
  // Several changes between two scans are one reason to scan.
  alignas(inotify_event) char buf[4096];
  while (::read(static_cast<int>(watch_), buf, sizeof buf) > 0) {
  }
  return true;
}

bool file_name_matches(const std::string& mask, const std::string& name) {
  return fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

}  // namespace qz
