// The serial port's system calls on a Linux terminal device (modem/serial_device.h).
//
// The descriptor stays non-blocking for its whole life and every wait is a poll() with a
// time-out, so a thread never sits inside read() or write(): the input thread waits for
// bytes while another thread writes a command, and neither takes a lock the other needs.

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "modem/serial_device.h"
#include "platform/linux/serial_rate_linux.h"
#include "platform/linux/serial_termios_linux.h"

namespace qz {

namespace serial_termios {

void make_raw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
  t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
#ifdef CRTSCTS
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  // CLOCAL: a modem that drops carrier must not hang up the line under us.
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  // With the descriptor non-blocking, VMIN 1 makes an empty read report EAGAIN rather
  // than 0, which stays reserved for a line that hung up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool set_framing(termios& t, const LineSettings& s) {
  termios n = t;
  n.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
  n.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
#ifdef CRTSCTS
  n.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  n.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);

  switch (s.data_bits) {
    case 5: n.c_cflag |= CS5; break;
    case 6: n.c_cflag |= CS6; break;
    case 7: n.c_cflag |= CS7; break;
    case 8: n.c_cflag |= CS8; break;
    default: return false;
  }

  switch (s.parity) {
    case Parity::None: break;
    case Parity::Even: n.c_cflag |= PARENB; break;
    case Parity::Odd: n.c_cflag |= PARENB | PARODD; break;
#ifdef CMSPAR
    // With CMSPAR the parity bit is constant: PARODD makes it 1 (mark), else 0 (space).
    case Parity::Mark: n.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: n.c_cflag |= PARENB | CMSPAR; break;
#else
    case Parity::Mark:
    case Parity::Space: return false;
#endif
  }

  // A UART sends 1.5 stop bits for CSTOPB with 5 data bits, 2 otherwise.
  if (s.stop_bits != StopBits::One) n.c_cflag |= CSTOPB;

  switch (s.flow) {
    case FlowControl::None: break;
    case FlowControl::XonXoff:
      n.c_iflag |= IXON | IXOFF;
      n.c_cc[VSTART] = 0x11;
      n.c_cc[VSTOP] = 0x13;
      break;
    case FlowControl::Hardware:
#ifdef CRTSCTS
      n.c_cflag |= CRTSCTS;
      break;
#else
      return false;
#endif
  }
  t = n;
  return true;
}

LineSettings framing_of(const termios& t) {
  LineSettings s;
  s.baud_rate = 0;
  switch (t.c_cflag & CSIZE) {
    case CS5: s.data_bits = 5; break;
    case CS6: s.data_bits = 6; break;
    case CS7: s.data_bits = 7; break;
    default: s.data_bits = 8; break;
  }
  if ((t.c_cflag & PARENB) == 0) {
    s.parity = Parity::None;
  } else {
    bool odd = (t.c_cflag & PARODD) != 0;
    bool constant = false;
#ifdef CMSPAR
    constant = (t.c_cflag & CMSPAR) != 0;
#endif
    if (constant) s.parity = odd ? Parity::Mark : Parity::Space;
    else s.parity = odd ? Parity::Odd : Parity::Even;
  }
  if ((t.c_cflag & CSTOPB) == 0) s.stop_bits = StopBits::One;
  else s.stop_bits = s.data_bits == 5 ? StopBits::OneAndHalf : StopBits::Two;
  s.flow = FlowControl::None;
#ifdef CRTSCTS
  if (t.c_cflag & CRTSCTS) s.flow = FlowControl::Hardware;
#endif
  if (t.c_iflag & IXON) s.flow = FlowControl::XonXoff;
  return s;
}

std::optional<speed_t> standard_speed(uint32_t rate) {
  struct Entry {
    uint32_t rate;
    speed_t code;
  };
  static constexpr Entry kRates[] = {
      {50, B50},         {75, B75},         {110, B110},         {134, B134},
      {150, B150},       {200, B200},       {300, B300},         {600, B600},
      {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
      {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
      {115200, B115200}, {230400, B230400},
#ifdef B460800
      {460800, B460800},
#endif
#ifdef B500000
      {500000, B500000},
#endif
#ifdef B576000
      {576000, B576000},
#endif
#ifdef B921600
      {921600, B921600},
#endif
#ifdef B1000000
      {1000000, B1000000},
#endif
#ifdef B1152000
      {1152000, B1152000},
#endif
#ifdef B1500000
      {1500000, B1500000},
#endif
#ifdef B2000000
      {2000000, B2000000},
#endif
#ifdef B2500000
      {2500000, B2500000},
#endif
#ifdef B3000000
      {3000000, B3000000},
#endif
#ifdef B3500000
      {3500000, B3500000},
#endif
#ifdef B4000000
      {4000000, B4000000},
#endif
  };
  for (const Entry& e : kRates) {
    if (e.rate == rate) return e.code;
  }
  return std::nullopt;
}

}  // namespace serial_termios

namespace serial_device {

namespace {

int fd_of(Handle handle) { return static_cast<int>(handle); }

// The poll() argument for a wait until `deadline`.
int poll_timeout(Deadline deadline) { return static_cast<int>(std::min<int64_t>(ms_until(deadline), INT_MAX)); }

}  // namespace

// Puts `s` (rate included) on the line. Nothing changes when the device does not end up
// at the asked rate: the previous settings are written back and the result is false.
// The framing is the driver's to honour; a pseudo-terminal, for one, always stays 8N1.
bool apply(Handle port, const LineSettings& s, int& error) {
  const int fd = fd_of(port);
  termios old{};
  if (tcgetattr(fd, &old) != 0) {
    error = errno;
    return false;
  }
  termios t = old;
  if (!serial_termios::set_framing(t, s)) {
    error = EINVAL;
    return false;
  }
  std::optional<speed_t> code = serial_termios::standard_speed(s.baud_rate);
  if (!code && !serial_rate::any_rate_supported()) {
    error = EINVAL;
    return false;
  }
  // The rate itself, as termios cannot carry a rate outside its fixed set back to us.
  const std::optional<uint32_t> old_rate = serial_rate::current_rate(fd);

  auto restore = [&](int why) {
    tcsetattr(fd, TCSANOW, &old);
    if (old_rate && serial_rate::current_rate(fd) != old_rate) serial_rate::set_any_rate(fd, *old_rate);
    error = why;
    return false;
  };

  if (code) {
    cfsetispeed(&t, *code);
    cfsetospeed(&t, *code);
  }
  if (tcsetattr(fd, TCSANOW, &t) != 0) return restore(errno);
  if (!code && !serial_rate::set_any_rate(fd, s.baud_rate)) return restore(errno ? errno : EINVAL);

  // A driver that cannot run at a rate falls back to another one and says so in what it
  // reports; that is a refusal.
  termios now{};
  if (tcgetattr(fd, &now) != 0) return restore(errno);
  if (code) {
    if (cfgetospeed(&now) != *code) return restore(EINVAL);
  } else {
    std::optional<uint32_t> rate = serial_rate::current_rate(fd);
    // Within the 3 % a UART tolerates: some drivers report the rate their divisor gives.
    if (!rate || std::llabs(static_cast<long long>(*rate) - static_cast<long long>(s.baud_rate)) * 100 >
                     static_cast<long long>(s.baud_rate) * 3) {
      return restore(EINVAL);
    }
  }
  return true;
}

std::optional<LineSettings> line_settings(Handle port, int& error) {
  termios current{};
  if (tcgetattr(fd_of(port), &current) != 0) {
    error = errno;
    return std::nullopt;
  }
  return serial_termios::framing_of(current);
}

Handle open(const std::string& device, int& error) {
  // O_NONBLOCK also keeps open() from waiting for carrier on a line without CLOCAL yet.
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return kNoDevice;
  }
  bool exclusive = false;
  auto fail = [&](int why) {
    if (exclusive) ioctl(fd, TIOCNXCL);
    ::close(fd);
    error = why;
    return kNoDevice;
  };
  if (!isatty(fd)) return fail(ENOTTY);
  // TIOCEXCL turns away later opens by anyone without privilege; the flock also turns away
  // a privileged second gateway and any program that locks the device the same way.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  if (ioctl(fd, TIOCEXCL) != 0) return fail(errno);
  exclusive = true;

  termios t{};
  if (tcgetattr(fd, &t) != 0) return fail(errno);
  serial_termios::make_raw(t);
  if (tcsetattr(fd, TCSANOW, &t) != 0) return fail(errno);
  // DTR and RTS up, as the modem expects of a terminal that is ready. A line without
  // modem-control signals (a pseudo-terminal) refuses this, which does not matter.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  return fd;
}

void close(Handle port) {
  // The exclusive flag belongs to the terminal, not to our descriptor: drop it so the
  // device is free again once we are gone. Closing releases the flock.
  ioctl(fd_of(port), TIOCNXCL);
  ::close(fd_of(port));
}

int read_some(Handle port, unsigned char* bytes, int count, Deadline deadline, int& error) {
  const int fd = fd_of(port);
  for (;;) {
    const int wait = poll_timeout(deadline);
    if (wait == 0) return 0;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
    if (r == 0) continue;  // the deadline is checked at the top
    if (p.revents & POLLNVAL) {
      error = EBADF;
      return -1;
    }
    const ssize_t n = ::read(fd, bytes, static_cast<size_t>(count));
    if (n > 0) return static_cast<int>(n);
    if (n == 0) {
      error = EIO;  // the line hung up
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
      return -1;
    }
    // Nothing to read although poll woke us: harmless unless the line is gone.
    if (p.revents & (POLLHUP | POLLERR)) {
      error = EIO;
      return -1;
    }
  }
}

int write_some(Handle port, const unsigned char* bytes, int count, Deadline deadline, int& error) {
  const int fd = fd_of(port);
  for (;;) {
    const ssize_t n = ::write(fd, bytes, static_cast<size_t>(count));
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
      return -1;
    }
    // The driver's buffer is full (the line is slow or held by flow control): wait for room.
    const int wait = poll_timeout(deadline);
    if (wait == 0) return 0;
    pollfd p{fd, POLLOUT, 0};
    const int r = ::poll(&p, 1, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
    if (r > 0 && (p.revents & POLLOUT) == 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      error = (p.revents & POLLNVAL) ? EBADF : EIO;
      return -1;
    }
  }
}

void purge(Handle port) { tcflush(fd_of(port), TCIOFLUSH); }

// A counter that is readable after interrupt(), until a wait takes it.
Handle make_interrupt() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd < 0 ? kNoDevice : fd;
}

void close_interrupt(Handle interrupt) {
  if (interrupt != kNoDevice) ::close(fd_of(interrupt));
}

void interrupt(Handle interrupt) {
  if (interrupt == kNoDevice) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd_of(interrupt), &one, sizeof one);
}

bool wait_readable(Handle port, Handle interrupt, Deadline deadline, std::optional<unsigned char>&) {
  pollfd p[2] = {{fd_of(port), POLLIN, 0}, {fd_of(interrupt), POLLIN, 0}};
  for (;;) {
    const int r = ::poll(p, interrupt != kNoDevice ? 2 : 1, poll_timeout(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    if (p[1].revents & POLLIN) {
      uint64_t taken;
      [[maybe_unused]] ssize_t n = ::read(fd_of(interrupt), &taken, sizeof taken);
      return false;
    }
    return true;
  }
}

}  // namespace serial_device

}  // namespace qz
