// The settings sheet: a property sheet with the "Global" and "MMS" pages. Leaving the
// Global page, and OK, refuse a number field that holds no number of its kind; OK copies
// both pages back, writes them with SaveSettings and tells the operator to restart.
#include <windows.h>
#include <commctrl.h>

#include "core/gateway_log.h"
#include "core/settings.h"
#include "modem/serial_port_list.h"
#include "platform/windows/windows_text.h"
#include "ui/settings_form.h"
#include "ui/win32/dialog_helpers.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/send_dialogs.h"
#include "ui/window_texts.h"

namespace qz::ui::win32 {
namespace {

// What the sheet edits. A page never shown keeps the values it opened with.
struct SheetState {
  GlobalSettingsFields global;
  ModeFields mode;
  MmsSettingsFields mms;
};

struct TextField {
  int id;
  std::string GlobalSettingsFields::*global;
  std::string MmsSettingsFields::*mms;
  std::size_t capacity;  // 0: a number field
};

constexpr TextField kGlobalFields[] = {
    {IDC_PORT, &GlobalSettingsFields::port, nullptr, kPortCapacity},
    {IDC_BAUD_RATE, &GlobalSettingsFields::baud_rate, nullptr, kModeCapacity},
    {IDC_PARITY, &GlobalSettingsFields::parity, nullptr, kModeCapacity},
    {IDC_SIM_PIN, &GlobalSettingsFields::pin, nullptr, kPinCapacity},
    {IDC_NUMBER, &GlobalSettingsFields::number, nullptr, kNumberCapacity},
    {IDC_RETRY_COUNT, &GlobalSettingsFields::retry_count, nullptr, 0},
    {IDC_RETRY_DELAY, &GlobalSettingsFields::retry_delay, nullptr, 0},
    {IDC_QUALITY_POLL, &GlobalSettingsFields::quality_poll, nullptr, 0},
    {IDC_TECH_ALARM, &GlobalSettingsFields::tech_alarm, nullptr, 0},
    {IDC_SLEEP_AFTER_ALARM, &GlobalSettingsFields::sleep_after_alarm, nullptr, 0},
    {IDC_VOICE_CALL, &GlobalSettingsFields::voice_call, nullptr, 0},
};
constexpr TextField kMmsFields[] = {
    {IDC_MMS_URL_SERVER, nullptr, &MmsSettingsFields::url_server, kMmsAddressCapacity},
    {IDC_MMS_APN, nullptr, &MmsSettingsFields::apn, kMmsAddressCapacity},
    {IDC_MMS_IP_ADDRESS, nullptr, &MmsSettingsFields::ip_address, kMmsAddressCapacity},
    {IDC_MMS_LOGIN, nullptr, &MmsSettingsFields::login, kMmsAddressCapacity},
    {IDC_MMS_PASSWORD, nullptr, &MmsSettingsFields::password, kMmsPasswordCapacity},
    {IDC_MMS_PORT_TYPE, nullptr, &MmsSettingsFields::port_type, kMmsPortTypeCapacity},
    {IDC_MMS_CONTENT_TYPE, nullptr, &MmsSettingsFields::content_type, kMmsAddressCapacity},
};

void LimitText(HWND field, std::size_t capacity) {
  if (capacity == 0) return;
  wchar_t kind[32] = {};
  GetClassNameW(field, kind, 32);
  const UINT limit = lstrcmpiW(kind, L"ComboBox") == 0 ? CB_LIMITTEXT : EM_LIMITTEXT;
  SendMessageW(field, limit, capacity - 1, 0);
}

void ReadGlobalPage(HWND page, GlobalSettingsFields& fields) {
  for (const TextField& f : kGlobalFields) fields.*f.global = ControlText(page, f.id);
  fields.incoming = IsDlgButtonChecked(page, IDC_INCOMING) == BST_CHECKED;
}

void ReadMmsPage(HWND page, MmsSettingsFields& fields) {
  for (const TextField& f : kMmsFields) fields.*f.mms = ControlText(page, f.id);
}

INT_PTR CALLBACK GlobalPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<SheetState*>(GetWindowLongPtrW(page, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<SheetState*>(reinterpret_cast<PROPSHEETPAGEW*>(lparam)->lParam);
      SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      AddComboItems(GetDlgItem(page, IDC_PORT), PortChoices(list_serial_ports()));
      AddComboItems(GetDlgItem(page, IDC_RETRY_COUNT), RetryCountChoices());
      for (const TextField& f : kGlobalFields) {
        LimitText(GetDlgItem(page, f.id), f.capacity);
        SetControlText(page, f.id, state->global.*f.global);
      }
      CheckDlgButton(page, IDC_INCOMING, state->global.incoming ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->code == PSN_KILLACTIVE) {
        ReadGlobalPage(page, state->global);
        const auto refused = FirstRefusedField(state->global);
        if (refused) {
          const int ids[] = {IDC_RETRY_DELAY, IDC_VOICE_CALL, IDC_QUALITY_POLL, IDC_TECH_ALARM, IDC_SLEEP_AFTER_ALARM};
          RefuseField(page, ids[static_cast<int>(refused->field)], refused->prompt);
        }
        SetWindowLongPtrW(page, DWLP_MSGRESULT, refused ? TRUE : FALSE);
        return TRUE;
      }
      if (header->code == PSN_APPLY) {
        ReadGlobalPage(page, state->global);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK MmsPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<SheetState*>(GetWindowLongPtrW(page, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<SheetState*>(reinterpret_cast<PROPSHEETPAGEW*>(lparam)->lParam);
      SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      AddComboItems(GetDlgItem(page, IDC_MMS_PORT_TYPE), MmsPortTypeChoices());
      for (const TextField& f : kMmsFields) {
        LimitText(GetDlgItem(page, f.id), f.capacity);
        SetControlText(page, f.id, state->mms.*f.mms);
      }
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lparam)->code == PSN_APPLY) {
        ReadMmsPage(page, state->mms);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

PROPSHEETPAGEW Page(int template_id, DLGPROC procedure, SheetState& state) {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.hInstance = GetModuleHandleW(nullptr);
  page.pszTemplate = MAKEINTRESOURCEW(template_id);
  page.pfnDlgProc = procedure;
  page.lParam = reinterpret_cast<LPARAM>(&state);
  return page;
}

}  // namespace

void RunSettingsSheet(HWND owner, Settings& settings, SettingsFile& file, GatewayLog& log) {
  SheetState state;
  state.global = GlobalFieldsOf(settings, &state.mode);
  state.mms = MmsFieldsOf(settings);
  PROPSHEETPAGEW pages[] = {Page(IDD_GLOBAL_SETTINGS, GlobalPageProc, state), Page(IDD_MMS_SETTINGS, MmsPageProc, state)};
  const std::wstring caption = widen(kSettingsCaption);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
  header.hwndParent = owner;
  header.hInstance = GetModuleHandleW(nullptr);
  header.pszCaption = caption.c_str();
  header.nPages = 2;
  header.nStartPage = 0;
  header.ppsp = pages;
  if (PropertySheetW(&header) <= 0) return;  // Cancel, or the sheet could not be shown
  CopyGlobalFields(state.global, state.mode, settings);
  CopyMmsFields(state.mms, settings);
  // Saved on every OK, edited or not: filling a page already counts as a change.
  SaveSettings(file, settings, log);
  ShowPrompt(owner, kRestartTitle, kRestartText, MB_ICONEXCLAMATION);
}

}  // namespace qz::ui::win32
