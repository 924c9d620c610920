// Port devices on Windows. A device name ("\\.\COMn") is judged as Windows judges a COM
// port: it opens, alone (no sharing, as the gateway opens it; a port another program holds
// is "in use"), and has line settings to read. While the instance's own gateway runs the
// port is not touched: that gateway holds it. Any other name is a file path.
#include <windows.h>

#include <cerrno>
#include <string>

#include "gateway/port_device.h"
#include "platform/windows/windows_error.h"

namespace qz {

PortDevice look_at_port_device(const std::filesystem::path& device, bool may_open) {
  PortDevice look;
  const std::wstring name = device.native();
  if (name.rfind(L"\\\\.\\", 0) != 0) {
    if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) look.error = errno_from_windows(GetLastError());
    return look;
  }
  look.serial = true;
  if (!may_open) return look;
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    look.error = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? EBUSY : errno_from_windows(code);
    return look;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  look.serial = GetFileType(h) == FILE_TYPE_CHAR && GetCommState(h, &dcb);
  CloseHandle(h);
  return look;
}

}  // namespace qz
