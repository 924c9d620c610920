#include "platform/linux/serial_rate_linux.h"

// Only the kernel's own terminal definitions here: <termios.h> must not meet them.
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace qz::serial_rate {

#if defined(TCGETS2) && defined(TCSETS2) && defined(BOTHER)

bool any_rate_supported() { return true; }

bool set_any_rate(int fd, uint32_t rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  // BOTHER in the output field and nothing in the input field: the input rate follows
  // the output rate, which is c_ospeed.
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
  t.c_cflag |= BOTHER;
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  return ioctl(fd, TCSETS2, &t) == 0;
}

std::optional<uint32_t> current_rate(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
  return static_cast<uint32_t>(t.c_ospeed);
}

#else

bool any_rate_supported() { return false; }

bool set_any_rate(int, uint32_t) {
  errno = EINVAL;
  return false;
}

std::optional<uint32_t> current_rate(int) { return std::nullopt; }

#endif

}  // namespace qz::serial_rate
