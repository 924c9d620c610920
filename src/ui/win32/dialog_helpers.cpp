#include "ui/win32/dialog_helpers.h"

#include "platform/windows/windows_text.h"
#include "ui/gateway_text.h"
#include "ui/phone_number_history.h"

namespace qz::ui::win32 {

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return narrow(text);
}

void SetWindowText(HWND window, std::string_view utf8) { SetWindowTextW(window, widen(utf8).c_str()); }

std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetControlText(HWND dialog, int id, std::string_view utf8) { SetWindowText(GetDlgItem(dialog, id), utf8); }

void ShowPrompt(HWND owner, std::string_view title, std::string_view text, UINT icon) {
  MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), MB_OK | icon);
}

void RefuseField(HWND dialog, int id, std::string_view prompt) {
  ShowPrompt(dialog, WindowText(dialog), prompt);
  HWND field = GetDlgItem(dialog, id);
  if (field == nullptr) return;
  // The dialog's own focus move: the default button follows it.
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
  wchar_t kind[32] = {};
  GetClassNameW(field, kind, 32);
  if (lstrcmpiW(kind, L"ComboBox") == 0)
    SendMessageW(field, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
  else
    SendMessageW(field, EM_SETSEL, 0, -1);
}

void AddComboItems(HWND combo, const std::vector<std::string>& items) {
  for (const std::string& item : items) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) continue;
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    items.push_back(narrow(item));
  }
  return items;
}

void FillHistory(const PhoneNumberHistory& history, HWND combo) {
  for (const std::string& number : history.Numbers())
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(Utf8FromGatewayText(number)).c_str()));
}

void RememberFromCombo(PhoneNumberHistory& history, HWND combo) {
  std::vector<std::string> listed;
  for (const std::string& item : ComboItems(combo)) listed.push_back(GatewayTextFromUtf8(item));
  history.Remember(GatewayTextFromUtf8(WindowText(combo)), listed);
}

}  // namespace qz::ui::win32
