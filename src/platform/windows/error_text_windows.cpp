// The words of a failure on Windows are Windows' own: the Win32 code behind the errno
// value, worded by FormatMessageW in the system's language.
#include <windows.h>

#include <cerrno>
#include <system_error>

#include "core/system_error.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/windows_text.h"

namespace qz {

namespace {

// The Win32 code an errno value stands for (the first that errno_from_windows turns into
// it); 0 when none does.
DWORD windows_code(int code) {
  if (code >= kWindowsCodeBase) return static_cast<DWORD>(code - kWindowsCodeBase);
  switch (code) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case EACCES: return ERROR_ACCESS_DENIED;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTDIR: return ERROR_DIRECTORY;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case ENOSYS: return ERROR_NOT_SUPPORTED;
    case EINTR: return ERROR_OPERATION_ABORTED;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case ENOTTY: return ERROR_BAD_DEVICE;
    case EIO: return ERROR_GEN_FAILURE;
    default: return 0;
  }
}

}  // namespace

std::string error_text(int code) {
  const DWORD windows = windows_code(code);
  wchar_t* words = nullptr;
  if (windows != 0 &&
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, windows, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr) != 0) {
    std::wstring text(words);
    LocalFree(words);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.')) {
      text.pop_back();
    }
    if (!text.empty()) return narrow(text);
  }
  if (code >= kWindowsCodeBase) return "Windows error " + std::to_string(code - kWindowsCodeBase);
  return std::generic_category().message(code);
}

}  // namespace qz
