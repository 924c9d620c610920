#include "headless.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/colours.h"
#include "core/error_box.h"
#include "core/gateway.h"
#include "core/startup.h"
#include "core/window_sink.h"

namespace {

// Worker threads only write a byte into a pipe; the main thread, which plays the part
// of the window, reads the shared tables.
class PipeSink : public qz::WindowSink {
 public:
  PipeSink() {
    if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
  }
  void notify(int number) override {
    unsigned char b = static_cast<unsigned char>(number);
    [[maybe_unused]] ssize_t n = write(fds_[1], &b, 1);  // a full pipe already wakes the reader
  }
  int read_fd() const { return fds_[0]; }

 private:
  int fds_[2];
};

// Without a window there is nobody to close a box: report-table errors become red lines.
class RedLineErrorBox : public qz::ErrorBox {
 public:
  explicit RedLineErrorBox(qz::GatewayLog& log) : log_(log) {}
  void show(const std::string& title, const std::string& text) override {
    log_.Log(title + ": " + text, qz::kRed);
  }

 private:
  qz::GatewayLog& log_;
};

const char* ansi_colour(qz::Colour c) {
  switch (c) {
    case qz::kRed: return "\033[31m";
    case qz::kGreen: return "\033[32m";
    case qz::kBlue: return "\033[34m";
    case qz::kGrey: return "\033[90m";
    default: return "";
  }
}

void print_pending_lines(qz::GatewayLog& log, bool colour) {
  while (auto line = log.take_pending_line()) {
    if (colour && *ansi_colour(line->colour)) {
      std::printf("%s%s\033[0m\n", ansi_colour(line->colour), line->text.c_str());
    } else {
      std::printf("%s\n", line->text.c_str());
    }
  }
  std::fflush(stdout);
}

}  // namespace

int run_headless_gateway() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  // Blocked before any thread starts, so only the signalfd below sees them.
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  int signal_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);
  // A command that ends early must not take the gateway with it.
  signal(SIGPIPE, SIG_IGN);

  static qz::Gateway gateway(std::filesystem::current_path());
  qz::apply_processor_rule(gateway.log);
  static RedLineErrorBox error_box(gateway.log);
  gateway.error_box = &error_box;

  PipeSink sink;
  bool colour = isatty(STDOUT_FILENO) != 0;
  std::thread startup([&sink] { qz::init_gsms(gateway, &sink); });
  startup.detach();

  pollfd fds[2] = {{sink.read_fd(), POLLIN, 0}, {signal_fd, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      unsigned char drain[256];
      while (read(sink.read_fd(), drain, sizeof drain) > 0) {
      }
      print_pending_lines(gateway.log, colour);
    }
    if (fds[1].revents & POLLIN) break;
  }
  print_pending_lines(gateway.log, colour);
  // Threads are never stopped in an orderly way: end here, as closing the window does.
  std::fflush(stdout);
  _exit(0);
}
