#include "platform/linux/serial_ports_linux.h"

#include "modem/serial_port_list.h"

#include <algorithm>
#include <fstream>
#include <string_view>
#include <system_error>

namespace qz {
namespace {

namespace fs = std::filesystem;

// The number at the end of "ttyUSB12", or nothing when the name is only the prefix and
// digits do not follow it all the way.
bool NumberAfter(std::string_view name, std::string_view prefix, unsigned long* number) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.size() > 9) return false;
  unsigned long value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  *number = value;
  return true;
}

// 0 in the kernel's "type" attribute is a port without a UART.
bool HasNoUart(const fs::path& root, const std::string& name) {
  std::ifstream type(root / "sys/class/tty" / name / "type");
  int value = -1;
  return type >> value && value == 0;
}

std::vector<std::string> NumberedDevices(const fs::path& root, std::string_view prefix,
                                         bool check_uart) {
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code ec;
  for (fs::directory_iterator it(root / "dev", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    unsigned long number = 0;
    if (!NumberAfter(name, prefix, &number)) continue;
    if (check_uart && HasNoUart(root, name)) continue;
    found.emplace_back(number, "/dev/" + name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [number, path] : found) paths.push_back(std::move(path));
  return paths;
}

}  // namespace

std::vector<std::string> list_serial_ports_under(const fs::path& root) {
  std::vector<std::string> ports = NumberedDevices(root, "ttyS", true);
  for (const std::string_view prefix : {"ttyUSB", "ttyACM"}) {
    std::vector<std::string> more = NumberedDevices(root, prefix, false);
    ports.insert(ports.end(), more.begin(), more.end());
  }
  std::vector<std::string> by_id;
  std::error_code ec;
  for (fs::directory_iterator it(root / "dev/serial/by-id", ec), end; !ec && it != end;
       it.increment(ec))
    by_id.push_back("/dev/serial/by-id/" + it->path().filename().string());
  std::sort(by_id.begin(), by_id.end());
  ports.insert(ports.end(), by_id.begin(), by_id.end());
  return ports;
}

std::vector<std::string> list_serial_ports() { return list_serial_ports_under("/"); }

}  // namespace qz
