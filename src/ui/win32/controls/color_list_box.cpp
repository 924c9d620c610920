#include "ui/win32/controls/color_list_box.h"

#include <algorithm>
#include <string>

#include "platform/windows/windows_text.h"
#include "ui/color_ref.h"

namespace qz::ui::win32 {
namespace {

COLORREF ToColorRef(Colour c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

}  // namespace

int CColorListBox::AddLine(std::string_view utf8, Colour colour) {
  const LRESULT index = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(utf8).c_str()));
  if (index >= 0) SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(colour));
  return static_cast<int>(index);
}

int CColorListBox::Count() const { return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0)); }

void CColorListBox::DeleteLine(int index) { SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

void CColorListBox::ShowLast() {
  const int count = Count();
  if (count > 0) SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(count - 1), 0);
}

void CColorListBox::Measure(HWND dialog, MEASUREITEMSTRUCT& item) {
  int font_height = 0;
  if (HDC dc = GetDC(dialog)) {
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc, &metrics)) font_height = metrics.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
  }
  item.itemHeight = static_cast<UINT>(std::max(GetSystemMetrics(SM_CYMENUCHECK), font_height));
}

void CColorListBox::Draw(const DRAWITEMSTRUCT& item) {
  if (static_cast<int>(item.itemID) < 0) return;
  const Colour colour = static_cast<Colour>(item.itemData);
  const bool selected = item.itemState & ODS_SELECTED;
  const bool disabled = item.itemState & ODS_DISABLED;
  HDC dc = item.hDC;
  RECT rect = item.rcItem;

  // The whole line is drawn each time: a line may be drawn anew without a selection change.
  HBRUSH brush = selected ? CreateSolidBrush(colour == 0 ? GetSysColor(COLOR_HIGHLIGHT) : ToColorRef(colour))
                          : GetSysColorBrush(COLOR_WINDOW);
  FillRect(dc, &rect, brush);
  if (selected) DeleteObject(brush);
  if (item.itemAction & ODA_FOCUS || item.itemState & ODS_FOCUS) {
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &rect);
  }

  COLORREF text;
  if (colour != 0) {
    text = selected ? ToColorRef(InverseColour(colour)) : disabled ? GetSysColor(COLOR_GRAYTEXT)
                                                                   : ToColorRef(TextOnWhite(colour));
  } else {
    text = selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : disabled ? GetSysColor(COLOR_GRAYTEXT)
                                                                  : GetSysColor(COLOR_WINDOWTEXT);
  }
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = SetTextColor(dc, text);
  const LRESULT length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  if (length > 0) {
    std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<std::size_t>(length));
    const UINT tabs = (GetWindowLongW(item.hwndItem, GWL_STYLE) & LBS_USETABSTOPS) ? DT_EXPANDTABS : 0;
    rect.left += 2;  // a little air between the frame and the text
    DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &rect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | tabs);
  }
  SetTextColor(dc, old_colour);
  SetBkMode(dc, old_mode);
}

}  // namespace qz::ui::win32
