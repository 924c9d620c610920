// The window's log list: an owner-drawn list box (fixed height, with strings) whose lines
// each keep their colour as item data, 0 for the system colours. The dialog that holds it
// hands the list's measure and draw requests to Measure and Draw.
#pragma once

#include <windows.h>

#include <string_view>

#include "core/colors.h"

namespace qz::ui::win32 {

class CColorListBox {
 public:
  explicit CColorListBox(HWND list = nullptr) : list_(list) {}

  // Appends a line and returns its index, or the list's negative error.
  int AddLine(std::string_view utf8, Colour colour);
  int Count() const;
  void DeleteLine(int index);
  void ShowLast();
  HWND Window() const { return list_; }

  // Every line is as high as the menus' check mark, never lower than the font.
  static void Measure(HWND dialog, MEASUREITEMSTRUCT& item);
  static void Draw(const DRAWITEMSTRUCT& item);

 private:
  HWND list_;
};

}  // namespace qz::ui::win32
