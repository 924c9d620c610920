// The window's system menu, where the platform has one that a program may add to. Windows
// has; X11 and Wayland window managers draw their own window menu and take no items, so
// there the About button is the only way to the About box.
#pragma once

#include <cstdint>
#include <string>

namespace qz::ui {

// Appends a separator and the item `text` with `command` to the system menu of the native
// window; false where the platform has no such menu.
bool AppendSystemMenuItem(std::uintptr_t native_window, int command, const std::string& text);

// The command a native window message carries if it is a system-menu command (its low four
// bits masked off, as the platform keeps them for itself), otherwise -1.
int SystemMenuCommand(const void* native_message);

}  // namespace qz::ui
