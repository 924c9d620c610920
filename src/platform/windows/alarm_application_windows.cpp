// The alarm application reads qzalarm.ini as a bare profile name, which Windows resolves
// in the Windows directory.
#include "ui/alarm_application.h"

#include <windows.h>

namespace qz::ui {

std::filesystem::path AlarmApplicationFolder(const std::filesystem::path& instance_folder) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return instance_folder;
  return std::filesystem::path(folder);
}

}  // namespace qz::ui
