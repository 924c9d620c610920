#include "ui/win32/window_error_box.h"

#include "ui/win32/main_window.h"

namespace qz::ui::win32 {

void WindowErrorBox::show(const std::string& title, const std::string& text) {
  ErrorBoxRequest request{title, text};
  SendMessageW(window_, kErrorBoxMessage, 0, reinterpret_cast<LPARAM>(&request));
}

}  // namespace qz::ui::win32
