// The stop signals on Linux: blocked in every thread and read from a signalfd, so no
// signal handler ever runs inside the gateway's code.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "gateway/stop_signals.h"

namespace qz {

StopSignals StopSignals::take() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  sigaddset(&stop_signals, SIGQUIT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return StopSignals(signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK));
}

StopSignals::StopSignals(StopSignals&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

StopSignals& StopSignals::operator=(StopSignals&& other) noexcept {
  if (this != &other) {
    if (handle_ != -1) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

StopSignals::~StopSignals() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

bool StopSignals::take_one() {
  if (handle_ == -1) return false;
  signalfd_siginfo info;
  return ::read(static_cast<int>(handle_), &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

}  // namespace qz
