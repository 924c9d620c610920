// Send SMS: one text to one number, with the character counter of CColorLabel.
#include <memory>

#include "core/settings.h"
#include "ui/gateway_text.h"
#include "ui/phone_number_history.h"
#include "ui/send_fields.h"
#include "ui/win32/controls/color_label.h"
#include "ui/win32/dialog_helpers.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/send_dialogs.h"

namespace qz::ui::win32 {
namespace {

struct SendSmsState {
  PhoneNumberHistory history;
  bool concatenated_sms;
  std::unique_ptr<CColorLabel> counter;
  SmsToSend result;
};

void UpdateCounter(HWND dialog, SendSmsState& state) {
  const SmsCounter count = CountSmsMessage(ControlText(dialog, IDC_MESSAGE), state.concatenated_sms);
  state.counter->SetText(count.text);
  // It only informs: a longer text is still sent, in parts.
  if (count.over)
    state.counter->SetTextColour(RGB(255, 0, 0));
  else
    state.counter->SetSystemTextColour();
}

INT_PTR CALLBACK SendSmsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<SendSmsState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<SendSmsState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      state->counter = std::make_unique<CColorLabel>(GetDlgItem(dialog, IDC_COUNTER));
      state->counter->SetFontName(L"LcdD").SetFontSize(18).SetText(CountSmsMessage("", false).text);
      SendDlgItemMessageW(dialog, IDC_MESSAGE, EM_LIMITTEXT, kMaxSmsMessage, 0);
      FillHistory(state->history, GetDlgItem(dialog, IDC_PHONE_NUMBER));
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (state && state->counter && reinterpret_cast<HWND>(lparam) == state->counter->Window())
        return reinterpret_cast<INT_PTR>(state->counter->OnColorRequest(reinterpret_cast<HDC>(wparam)));
      break;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_MESSAGE:
          if (HIWORD(wparam) == EN_CHANGE && state && state->counter) UpdateCounter(dialog, *state);
          return TRUE;
        case IDOK: {
          // Nothing here can be refused: the edit keeps the text within its limit.
          HWND combo = GetDlgItem(dialog, IDC_PHONE_NUMBER);
          state->result = {GatewayTextFromUtf8(WindowText(combo)), ControlText(dialog, IDC_MESSAGE),
                           IsDlgButtonChecked(dialog, IDC_FLASH) == BST_CHECKED ? 1 : 0};
          RememberFromCombo(state->history, combo);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<SmsToSend> RunSendSmsDialog(HWND owner, SettingsFile& settings_file, bool concatenated_sms) {
  SendSmsState state{PhoneNumberHistory(settings_file), concatenated_sms, nullptr, {}};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SEND_SMS), owner, SendSmsProc,
                                         reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.result;
}

}  // namespace qz::ui::win32
