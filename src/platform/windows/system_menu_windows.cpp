#include "ui/system_menu.h"

#include <windows.h>

namespace qz::ui {

bool AppendSystemMenuItem(std::uintptr_t native_window, int command, const std::string& text) {
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(native_window), FALSE);
  if (menu == nullptr) return false;
  return AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) &&
         AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(command), text.c_str());
}

int SystemMenuCommand(const void* native_message) {
  const auto* message = static_cast<const MSG*>(native_message);
  if (message == nullptr || message->message != WM_SYSCOMMAND) return -1;
  return static_cast<int>(message->wParam & 0xFFF0);
}

}  // namespace qz::ui
