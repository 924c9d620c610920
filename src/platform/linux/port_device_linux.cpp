// Port devices on Linux: a character device is a terminal when its major and minor number
// belong to one of the tty drivers the kernel lists in /proc/tty/drivers. The console,
// /dev/tty, /dev/ptmx and pty masters are terminals too, but no line to a modem.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "gateway/port_device.h"

namespace qz {

namespace {

bool is_modem_line_kind(const std::string& type) {
  return !type.starts_with("system") && type != "console" && type != "pty:master";
}

// True when (major, minor) is a line of a tty driver; also when the list cannot be read.
bool is_serial_line(unsigned major_number, unsigned minor_number) {
  std::ifstream drivers("/proc/tty/drivers");
  if (!drivers) return true;
  std::string line;
  while (std::getline(drivers, line)) {
    // "usbserial            /dev/ttyUSB   188 0-511 serial"
    std::istringstream fields(line);
    std::string name, node, minors, type;
    unsigned major_of_driver = 0;
    if (!(fields >> name >> node >> major_of_driver >> minors >> type)) continue;
    if (major_of_driver != major_number) continue;
    unsigned first = 0, last = 0;
    std::size_t dash = minors.find('-');
    try {
      first = static_cast<unsigned>(std::stoul(minors.substr(0, dash)));
      last = dash == std::string::npos ? first : static_cast<unsigned>(std::stoul(minors.substr(dash + 1)));
    } catch (const std::exception&) {
      continue;
    }
    if (minor_number >= first && minor_number <= last) return is_modem_line_kind(type);
  }
  return false;
}

}  // namespace

PortDevice look_at_port_device(const std::filesystem::path& device, bool) {
  PortDevice look;
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) {
    look.error = errno;
    return look;
  }
  look.serial = S_ISCHR(st.st_mode) && is_serial_line(major(st.st_rdev), minor(st.st_rdev));
  if (look.serial && ::access(device.c_str(), R_OK | W_OK) != 0) look.error = errno;
  return look;
}

}  // namespace qz
