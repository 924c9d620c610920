#include "modemsim/modem_simulator.h"
#include "modemsim/text.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace qz::sim {
namespace {

// Output nobody reads (no gateway on the port) stops growing here; the oldest is dropped.
constexpr std::size_t kMaxUnwritten = 1024 * 1024;
// Longest sleep of the thread when nothing is due, so that a missed wake-up costs little.
constexpr int kMaxPollMs = 1000;


void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ModemSimulator::ModemSimulator(ModemConfig config) : engine_(std::move(config)) {
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  try {
    open_pty();
  } catch (...) {
    close_fd(wake_fd_);
    throw;
  }
  present_ = true;
  thread_ = std::thread(&ModemSimulator::run, this);
}

ModemSimulator::~ModemSimulator() {
  stop();
  close_pty();
  close_fd(wake_fd_);
}

void ModemSimulator::open_pty() {
  auto fail = [this](const char* what) {
    int error = errno;
    close_pty();
    throw std::system_error(error, std::generic_category(), what);
  };

  master_fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_fd_ < 0) fail("posix_openpt");
  if (::grantpt(master_fd_) != 0) fail("grantpt");
  if (::unlockpt(master_fd_) != 0) fail("unlockpt");
  char name[256];
  if (::ptsname_r(master_fd_, name, sizeof name) != 0) fail("ptsname_r");

  // Held while the pty exists: while it is open the master never reads a hang-up,
  // whatever the gateway does with its own descriptor.
  slave_fd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_fd_ < 0) fail("open pty slave");
  // A fresh pty echoes and edits lines; a modem line is raw until the gateway says more.
  termios tio{};
  if (::tcgetattr(slave_fd_, &tio) != 0) fail("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(slave_fd_, TCSANOW, &tio) != 0) fail("tcsetattr");

  int flags = ::fcntl(master_fd_, F_GETFL);
  if (flags < 0 || ::fcntl(master_fd_, F_SETFL, flags | O_NONBLOCK) != 0) fail("fcntl");

  // Without inotify the simulator still works; only a stale exclusive flag stays set.
  notify_fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notify_fd_ >= 0 &&
      ::inotify_add_watch(notify_fd_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    close_fd(notify_fd_);
  }
  others_open_ = 0;
  std::lock_guard lock(mutex_);
  slave_path_ = name;
}

// Closing the master hangs up every other descriptor of the slave: the gateway's reads and
// writes fail from then on, as with a USB modem pulled out.
void ModemSimulator::close_pty() {
  close_fd(notify_fd_);
  close_fd(slave_fd_);
  close_fd(master_fd_);
  others_open_ = 0;
}

std::string ModemSimulator::slave_path() const {
  std::lock_guard lock(mutex_);
  return slave_path_;
}

void ModemSimulator::set_link(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    link_ = path;
  }
  update_link();
}

// The link names the device while it is there, and nothing while it is gone.
void ModemSimulator::update_link() {
  std::lock_guard lock(mutex_);
  if (link_.empty()) return;
  std::error_code ec;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(link_, ec))) std::filesystem::remove(link_, ec);
  if (present_) std::filesystem::create_symlink(slave_path_, link_, ec);
}

void ModemSimulator::vanish() {
  std::unique_lock lock(mutex_);
  present_wanted_ = false;
  wake();
  changed_.wait(lock, [this] { return !present_ || stopping_; });
}

void ModemSimulator::come_back() {
  std::unique_lock lock(mutex_);
  present_wanted_ = true;
  wake();
  changed_.wait(lock, [this] { return present_ || stopping_; });
}

void ModemSimulator::follow_presence() {
  bool wanted;
  {
    std::lock_guard lock(mutex_);
    wanted = present_wanted_;
  }
  if (wanted == (master_fd_ >= 0)) return;
  std::string line;
  if (wanted) {
    try {
      open_pty();
    } catch (const std::system_error& e) {
      line = std::string("cannot be plugged in again: ") + e.what();
    }
  } else {
    close_pty();
  }
  unwritten_.clear();
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard lock(mutex_);
    present_ = master_fd_ >= 0;
    // Plugged in again, a modem starts from its power-on state.
    if (present_) engine_.power_cycle(SimClock::now());
    if (line.empty()) line = present_ ? "plugged in again as " + slave_path_ : "unplugged";
    sink = sink_;
  }
  update_link();
  changed_.notify_all();
  if (sink) sink(line);
}

void ModemSimulator::stop() {
  stopping_ = true;
  wake();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

void ModemSimulator::wake() {
  if (wake_fd_ < 0) return;
  std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing to do when the write fails.
  [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

// ---- the thread --------------------------------------------------------------------------

void ModemSimulator::run() {
  char buffer[4096];
  while (!stopping_) {
    follow_presence();
    if (master_fd_ < 0) {
      // Unplugged: nothing to answer until it is plugged in again.
      pollfd wake{wake_fd_, POLLIN, 0};
      if (::poll(&wake, 1, kMaxPollMs) > 0) {
        std::uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(wake_fd_, &count, sizeof count);
      }
      continue;
    }
    int timeout_ms = kMaxPollMs;
    std::vector<std::string> log_lines;
    std::function<void(const std::string&)> sink;
    {
      std::lock_guard lock(mutex_);
      SimClock::time_point now = SimClock::now();
      engine_.tick(now);
      unwritten_ += engine_.take_due(now);
      if (auto next = engine_.next_deadline()) {
        auto wait = std::chrono::ceil<Millis>(*next - now).count();
        timeout_ms = static_cast<int>(std::clamp<long long>(wait, 0, kMaxPollMs));
      }
      log_lines = engine_.take_log();
      sink = sink_;
    }
    if (unwritten_.size() > kMaxUnwritten) {
      log_lines.push_back("nobody reads the port: " +
                          std::to_string(unwritten_.size() - kMaxUnwritten) +
                          " bytes of output dropped");
      unwritten_.erase(0, unwritten_.size() - kMaxUnwritten);
    }
    changed_.notify_all();
    write_pending();
    if (sink) {
      for (const std::string& line : log_lines) sink(line);
    }

    pollfd fds[3] = {};
    fds[0].fd = master_fd_;
    fds[0].events = static_cast<short>(POLLIN | (unwritten_.empty() ? 0 : POLLOUT));
    fds[1].fd = wake_fd_;
    fds[1].events = POLLIN;
    fds[2].fd = notify_fd_;
    fds[2].events = POLLIN;
    int ready = ::poll(fds, notify_fd_ >= 0 ? 3 : 2, timeout_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // poll() itself failing leaves nothing sensible to wait on; do not spin.
      std::this_thread::sleep_for(Millis(50));
      continue;
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] ssize_t n = ::read(wake_fd_, &count, sizeof count);
    }
    if (notify_fd_ >= 0 && (fds[2].revents & POLLIN)) watch_slave_events();

    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      bool hung_up = false;
      for (int round = 0; round < 64; ++round) {
        ssize_t n = ::read(master_fd_, buffer, sizeof buffer);
        if (n > 0) {
          std::lock_guard lock(mutex_);
          engine_.receive(std::string_view(buffer, static_cast<std::size_t>(n)), SimClock::now());
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        hung_up = true;  // EIO or end of file: no slave descriptor open at the moment
        break;
      }
      // Should every slave descriptor be closed, the master reports a hang-up until one
      // is opened again; wait for that without spinning.
      if (hung_up) std::this_thread::sleep_for(Millis(20));
    }
  }
}

void ModemSimulator::write_pending() {
  while (!unwritten_.empty()) {
    ssize_t n = ::write(master_fd_, unwritten_.data(), unwritten_.size());
    if (n > 0) {
      unwritten_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // poll for POLLOUT
    // The line is gone for now (no reader); what was meant for it is lost, as on a real
    // serial line.
    unwritten_.clear();
    return;
  }
}

void ModemSimulator::watch_slave_events() {
  alignas(inotify_event) char buffer[4096];
  bool opened = false;
  bool closed = false;
  for (;;) {
    ssize_t n = ::read(notify_fd_, buffer, sizeof buffer);
    if (n <= 0) break;
    for (char* p = buffer; p < buffer + n;) {
      auto* event = reinterpret_cast<inotify_event*>(p);
      if (event->mask & IN_OPEN) {
        ++others_open_;
        opened = true;
      }
      if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
        if (others_open_ > 0) --others_open_;
        closed = true;
      }
      p += sizeof(inotify_event) + event->len;
    }
  }
  std::vector<std::string> lines;
  if (opened) lines.push_back("port opened");
  if (closed && others_open_ == 0) {
    // TIOCEXCL outlives the descriptor that set it while the pty exists; without this the
    // next open of a restarted gateway would fail with EBUSY. Answers nobody read are lost,
    // as they would be on a serial line.
    ::ioctl(slave_fd_, TIOCNXCL);
    ::tcflush(slave_fd_, TCIFLUSH);
    lines.push_back("port closed");
  }
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard lock(mutex_);
    sink = sink_;
  }
  if (sink) {
    for (const std::string& line : lines) sink(line);
  }
}

// ---- behaviour ---------------------------------------------------------------------------

void ModemSimulator::configure(const std::function<void(ModemConfig&)>& change) {
  {
    std::lock_guard lock(mutex_);
    change(engine_.config());
  }
  wake();
}

ModemConfig ModemSimulator::config() const {
  std::lock_guard lock(mutex_);
  return engine_.config();
}

void ModemSimulator::add_rule(CommandRule rule) {
  configure([&rule](ModemConfig& c) { c.rules.push_back(std::move(rule)); });
}

void ModemSimulator::clear_rules() {
  configure([](ModemConfig& c) { c.rules.clear(); });
}

void ModemSimulator::set_silent(bool silent) {
  configure([silent](ModemConfig& c) { c.silent = silent; });
}

void ModemSimulator::set_signal(int level) {
  configure([level](ModemConfig& c) { c.signal = level; });
}

void ModemSimulator::set_reply_delay(Millis delay) {
  configure([delay](ModemConfig& c) { c.reply_delay = delay; });
}

ModemState ModemSimulator::state() const {
  std::lock_guard lock(mutex_);
  return engine_.state();
}

void ModemSimulator::power_cycle() {
  {
    std::lock_guard lock(mutex_);
    engine_.power_cycle(SimClock::now());
  }
  wake();
}

// ---- store and noise ---------------------------------------------------------------------

int ModemSimulator::add_message(StoredMessage message, bool notify) {
  int index;
  {
    std::lock_guard lock(mutex_);
    index = engine_.add_message(std::move(message), notify, SimClock::now());
  }
  wake();
  return index;
}

int ModemSimulator::add_message(std::string sender, std::string text, bool notify) {
  StoredMessage message;
  message.sender = std::move(sender);
  message.text = std::move(text);
  return add_message(std::move(message), notify);
}

std::vector<StoredMessage> ModemSimulator::messages() const {
  std::lock_guard lock(mutex_);
  return engine_.messages();
}

void ModemSimulator::clear_messages() {
  std::lock_guard lock(mutex_);
  engine_.clear_messages();
}

void ModemSimulator::inject(std::string bytes) {
  {
    std::lock_guard lock(mutex_);
    engine_.inject(std::move(bytes), SimClock::now());
  }
  wake();
}

void ModemSimulator::inject_line(std::string_view line) {
  inject("\r\n" + std::string(line) + "\r\n");
}

// ---- recording ---------------------------------------------------------------------------

Recording ModemSimulator::recording() const {
  std::lock_guard lock(mutex_);
  return engine_.recording();
}

std::vector<ReceivedCommand> ModemSimulator::commands() const {
  std::lock_guard lock(mutex_);
  return engine_.recording().commands;
}

std::vector<std::string> ModemSimulator::command_lines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (const ReceivedCommand& command : engine_.recording().commands) lines.push_back(command.line);
  return lines;
}

std::vector<SubmittedSms> ModemSimulator::sms() const {
  std::lock_guard lock(mutex_);
  return engine_.recording().sms;
}

std::vector<DialledCall> ModemSimulator::calls() const {
  std::lock_guard lock(mutex_);
  return engine_.recording().calls;
}

std::vector<StoredMms> ModemSimulator::mms() const {
  std::lock_guard lock(mutex_);
  return engine_.recording().mms;
}

std::vector<int> ModemSimulator::deletions() const {
  std::lock_guard lock(mutex_);
  return engine_.recording().deletions;
}

std::size_t ModemSimulator::count_commands(std::string_view prefix) const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const ReceivedCommand& command : engine_.recording().commands) {
    if (starts_with_nocase(command.line, prefix)) ++count;
  }
  return count;
}

void ModemSimulator::clear_recording() {
  std::lock_guard lock(mutex_);
  engine_.clear_recording();
}

std::optional<ReceivedCommand> ModemSimulator::wait_for_command(std::string_view prefix,
                                                                Millis timeout,
                                                                std::size_t occurrence) const {
  std::optional<ReceivedCommand> found;
  wait_for(
      [&](const Recording& recording) {
        std::size_t seen = 0;
        for (const ReceivedCommand& command : recording.commands) {
          if (starts_with_nocase(command.line, prefix) && ++seen >= occurrence) {
            found = command;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

bool ModemSimulator::wait_for(const std::function<bool(const Recording&)>& pred,
                              Millis timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return pred(engine_.recording()); });
}

void ModemSimulator::set_log_sink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

}  // namespace qz::sim
