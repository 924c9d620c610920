// A static text with its own font, text colour and background, such as the character
// counter of the Send SMS dialog. The dialog hands the label's colour request
// (WM_CTLCOLORSTATIC) to OnColorRequest. Each setter redraws the label at once.
#pragma once

#include <windows.h>

#include <string_view>

#include "core/colors.h"

namespace qz::ui::win32 {

class CColorLabel {
 public:
  // Starts with the default GUI font, the window-text colour on the button face.
  explicit CColorLabel(HWND label);
  ~CColorLabel();
  CColorLabel(const CColorLabel&) = delete;
  CColorLabel& operator=(const CColorLabel&) = delete;

  CColorLabel& SetText(std::string_view utf8);
  CColorLabel& SetTextColour(COLORREF colour);
  CColorLabel& SetSystemTextColour();
  // A face missing on this system is replaced by the system with a fixed-pitch one.
  CColorLabel& SetFontName(const wchar_t* face);
  // The character height in logical units.
  CColorLabel& SetFontSize(int height);

  HWND Window() const { return label_; }
  HBRUSH OnColorRequest(HDC dc) const;

 private:
  void RecreateFont();
  void RedrawNow();

  HWND label_;
  COLORREF text_colour_;
  HBRUSH background_;
  LOGFONTW description_{};
  HFONT font_ = nullptr;
};

}  // namespace qz::ui::win32
