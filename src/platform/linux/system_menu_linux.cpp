// X11 and Wayland window managers offer no system menu a program can add to.
#include "ui/system_menu.h"

namespace qz::ui {

bool AppendSystemMenuItem(std::uintptr_t, int, const std::string&) { return false; }

int SystemMenuCommand(const void*) { return -1; }

}  // namespace qz::ui
