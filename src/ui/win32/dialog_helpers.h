// What every Win32 dialog of the window does with its controls: texts in UTF-8 (the
// controls hold UTF-16), prompts, the refusal of a field, combo-box lists and the
// phone-number history.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qz::ui {

class PhoneNumberHistory;

namespace win32 {

std::string WindowText(HWND window);
void SetWindowText(HWND window, std::string_view utf8);
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, std::string_view utf8);

// A modal box with one OK button.
void ShowPrompt(HWND owner, std::string_view title, std::string_view text, UINT icon = MB_ICONWARNING);

// Shows `prompt` titled with the dialog's title, then gives control `id` the focus with
// its whole text selected, ready to be typed over. The dialog stays open.
void RefuseField(HWND dialog, int id, std::string_view prompt);

void AddComboItems(HWND combo, const std::vector<std::string>& items);
std::vector<std::string> ComboItems(HWND combo);

// The combo box's list is the history (gateway text shown as UTF-8), and its text the
// number that was used.
void FillHistory(const PhoneNumberHistory& history, HWND combo);
void RememberFromCombo(PhoneNumberHistory& history, HWND combo);

}  // namespace win32
}  // namespace qz::ui
