// The COM ports Windows knows: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, which
// every serial driver (on-board, USB adapter, modem) fills in while its port is there.
#include "modem/serial_port_list.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "platform/windows/windows_text.h"

namespace qz {
namespace {

// COM2 before COM10.
int PortNumber(const std::string& name) {
  return name.size() > 3 ? std::atoi(name.c_str() + 3) : 0;
}

}  // namespace

std::vector<std::string> list_serial_ports() {
  std::vector<std::string> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    wchar_t data[256];
    DWORD name_length = 256;
    DWORD data_bytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegEnumValueW(key, index, name, &name_length, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &data_bytes);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[data_bytes / sizeof(wchar_t)] = L'\0';
    std::string port = narrow(data);
    if (port.rfind("COM", 0) == 0) ports.push_back(std::move(port));
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
    return PortNumber(a) != PortNumber(b) ? PortNumber(a) < PortNumber(b) : a < b;
  });
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  return ports;
}

}  // namespace qz
