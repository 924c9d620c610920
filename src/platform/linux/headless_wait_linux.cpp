// The headless program's wait on Linux: a pipe for the workers' notifications, the stop
// signals' signalfd and an eventfd for the end of the stop, all in one poll.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "gateway/headless_wait.h"

namespace qz {

struct HeadlessWait::Handles {
  int notify_pipe[2] = {-1, -1};
  int stop_done = -1;
};

HeadlessWait::HeadlessWait() : signals_(StopSignals::take()), handles_(std::make_unique<Handles>()) {
  if (pipe2(handles_->notify_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    handles_->notify_pipe[0] = handles_->notify_pipe[1] = -1;
  }
  handles_->stop_done = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

HeadlessWait::~HeadlessWait() {
  for (int fd : {handles_->notify_pipe[0], handles_->notify_pipe[1], handles_->stop_done}) {
    if (fd >= 0) ::close(fd);
  }
}

void HeadlessWait::notify(int number) {
  unsigned char b = static_cast<unsigned char>(number);
  // A full pipe already wakes the reader.
  [[maybe_unused]] ssize_t n = ::write(handles_->notify_pipe[1], &b, 1);
}

void HeadlessWait::stop_done() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(handles_->stop_done, &one, sizeof one);
}

HeadlessWait::Woken HeadlessWait::wait(int64_t timeout_ms) {
  Woken woken;
  pollfd fds[3] = {{handles_->notify_pipe[0], POLLIN, 0},
                   {static_cast<int>(signals_.native_handle()), POLLIN, 0},
                   {handles_->stop_done, POLLIN, 0}};
  int timeout = timeout_ms < 0 ? -1 : timeout_ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(timeout_ms);
  if (poll(fds, 3, timeout) < 0) return woken;
  if (fds[0].revents & POLLIN) {
    unsigned char drain[256];
    for (ssize_t n; (n = ::read(handles_->notify_pipe[0], drain, sizeof drain)) > 0;) {
      woken.notified.insert(woken.notified.end(), drain, drain + n);
    }
  }
  if (fds[1].revents & POLLIN) woken.stop_signal = signals_.take_one();
  woken.stop_done = (fds[2].revents & POLLIN) != 0;
  return woken;
}

}  // namespace qz
