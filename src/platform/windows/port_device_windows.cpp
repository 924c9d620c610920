// Port devices on Windows: "\\.\COMn" is a serial line when the system knows a device of
// that name (QueryDosDeviceW), found without opening it. Any other name is a file path.
#include <windows.h>

#include <cerrno>
#include <string>

#include "gateway/port_device.h"
#include "platform/windows/windows_error.h"

namespace qz {

PortDevice look_at_port_device(const std::filesystem::path& device, bool may_open) {
  PortDevice look;
  std::wstring name = device.native();
  const std::wstring device_prefix = L"\\\\.\\";
  if (name.rfind(device_prefix, 0) == 0) {
    wchar_t target[1024];
    if (QueryDosDeviceW(name.substr(device_prefix.size()).c_str(), target, 1024) == 0) {
      look.error = ENOENT;
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
  if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) look.error = errno_from_windows(GetLastError());
  return look;
}

}  // namespace qz
