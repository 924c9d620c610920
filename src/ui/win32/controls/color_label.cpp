#include "ui/win32/controls/color_label.h"

#include "ui/win32/dialog_helpers.h"

namespace qz::ui::win32 {

CColorLabel::CColorLabel(HWND label)
    : label_(label), text_colour_(GetSysColor(COLOR_WINDOWTEXT)), background_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof description_, &description_);
  RecreateFont();
}

CColorLabel::~CColorLabel() {
  if (font_ != nullptr) DeleteObject(font_);
  DeleteObject(background_);
}

CColorLabel& CColorLabel::SetText(std::string_view utf8) {
  SetWindowText(label_, utf8);
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetTextColour(COLORREF colour) {
  text_colour_ = colour;
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetSystemTextColour() { return SetTextColour(GetSysColor(COLOR_WINDOWTEXT)); }

CColorLabel& CColorLabel::SetFontName(const wchar_t* face) {
  lstrcpynW(description_.lfFaceName, face, LF_FACESIZE);
  // A counter must not jitter as it counts: where the face is missing, the font mapper is
  // asked for a fixed-pitch one.
  description_.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  RecreateFont();
  RedrawNow();
  return *this;
}

CColorLabel& CColorLabel::SetFontSize(int height) {
  description_.lfHeight = -height;
  RecreateFont();
  RedrawNow();
  return *this;
}

HBRUSH CColorLabel::OnColorRequest(HDC dc) const {
  SelectObject(dc, font_);
  SetTextColor(dc, text_colour_);
  SetBkMode(dc, TRANSPARENT);
  return background_;
}

void CColorLabel::RecreateFont() {
  HFONT font = CreateFontIndirectW(&description_);
  if (font == nullptr) return;
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
  SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

void CColorLabel::RedrawNow() { RedrawWindow(label_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

}  // namespace qz::ui::win32
