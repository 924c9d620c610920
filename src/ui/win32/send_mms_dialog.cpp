// Send MMS: a text, a subject and up to two files (an image and a sound) to one number.
#include <windows.h>
#include <commdlg.h>

#include "platform/windows/windows_text.h"
#include "ui/gateway_text.h"
#include "ui/phone_number_history.h"
#include "ui/send_fields.h"
#include "ui/win32/dialog_helpers.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/send_dialogs.h"

namespace qz::ui::win32 {
namespace {

struct SendMmsState {
  PhoneNumberHistory history;
  MmsToSend result;
};

// Only what the MMS builder knows how to label; anything else would fail at sending.
void PickFile(HWND dialog, int field, const wchar_t* title, const wchar_t* filter) {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = dialog;
  open.lpstrFilter = filter;
  open.lpstrFile = path;
  open.nMaxFile = MAX_PATH;
  open.lpstrTitle = title;
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (GetOpenFileNameW(&open)) SetDlgItemTextW(dialog, field, path);
}

void Send(HWND dialog, SendMmsState& state) {
  HWND combo = GetDlgItem(dialog, IDC_PHONE_NUMBER);
  const std::string number = WindowText(combo);
  const std::string subject = ControlText(dialog, IDC_MMS_SUBJECT);
  const std::string text = ControlText(dialog, IDC_MMS_TEXT);
  const std::string image = ControlText(dialog, IDC_MMS_IMAGE);
  if (const auto problem = FirstMmsFieldOverItsLimit(number, subject, text, image)) {
    const int fields[] = {IDC_PHONE_NUMBER, IDC_MMS_SUBJECT, IDC_MMS_TEXT, IDC_MMS_IMAGE};
    RefuseField(dialog, fields[static_cast<int>(problem->field)], problem->prompt);
  } else {
    state.result = {GatewayTextFromUtf8(number), GatewayTextFromUtf8(subject), GatewayTextFromUtf8(text), image,
                    ControlText(dialog, IDC_MMS_AUDIO)};
    EndDialog(dialog, IDOK);
  }
  // The number goes into the history either way.
  RememberFromCombo(state.history, combo);
}

INT_PTR CALLBACK SendMmsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<SendMmsState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      state = reinterpret_cast<SendMmsState*>(lparam);
      // Typing stops at each field's limit; Send still refuses a longer text put in whole,
      // such as a number from the history or a picked file.
      SendDlgItemMessageW(dialog, IDC_PHONE_NUMBER, CB_LIMITTEXT, kMaxMmsPhoneNumber, 0);
      SendDlgItemMessageW(dialog, IDC_MMS_SUBJECT, EM_LIMITTEXT, kMaxMmsSubject, 0);
      SendDlgItemMessageW(dialog, IDC_MMS_TEXT, EM_LIMITTEXT, kMaxMmsText, 0);
      SendDlgItemMessageW(dialog, IDC_MMS_IMAGE, EM_LIMITTEXT, kMaxMmsImagePath, 0);
      FillHistory(state->history, GetDlgItem(dialog, IDC_PHONE_NUMBER));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_PICK_IMAGE:
          PickFile(dialog, IDC_MMS_IMAGE, L"Image File", L"JPEG images (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0All files\0*.*\0");
          return TRUE;
        case IDC_PICK_AUDIO:
          PickFile(dialog, IDC_MMS_AUDIO, L"Audio File",
                   L"AMR audio and 3GP video (*.amr;*.3gp)\0*.amr;*.3gp\0All files\0*.*\0");
          return TRUE;
        case IDOK:
          Send(dialog, *state);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<MmsToSend> RunSendMmsDialog(HWND owner, SettingsFile& settings_file) {
  SendMmsState state{PhoneNumberHistory(settings_file), {}};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SEND_MMS), owner, SendMmsProc,
                                         reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.result;
}

}  // namespace qz::ui::win32
