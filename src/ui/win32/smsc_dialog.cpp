// Change SMSC: the SMS service centre's number and numbering plan.
#include "ui/gateway_text.h"
#include "ui/send_fields.h"
#include "ui/win32/dialog_helpers.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/send_dialogs.h"

namespace qz::ui::win32 {
namespace {

INT_PTR CALLBACK SmscProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* centre = reinterpret_cast<ServiceCentre*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      centre = reinterpret_cast<ServiceCentre*>(lparam);
      SendDlgItemMessageW(dialog, IDC_SMSC_NUMBER, EM_LIMITTEXT, kMaxSmscNumber, 0);
      SetControlText(dialog, IDC_SMSC_NUMBER, Utf8FromGatewayText(centre->number));
      // Shown as the unsigned value it is stored as.
      SetControlText(dialog, IDC_SMSC_PLAN, std::to_string(static_cast<uint32_t>(centre->numbering_plan)));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        std::string prompt;
        const auto plan = ReadNumberingPlan(ControlText(dialog, IDC_SMSC_PLAN), &prompt);
        if (!plan) {
          RefuseField(dialog, IDC_SMSC_PLAN, prompt);
          return TRUE;
        }
        *centre = {GatewayTextFromUtf8(ControlText(dialog, IDC_SMSC_NUMBER)), *plan};
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<ServiceCentre> RunSmscDialog(HWND owner, const ServiceCentre& current) {
  ServiceCentre edited = current;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SMSC), owner, SmscProc,
                                         reinterpret_cast<LPARAM>(&edited));
  if (result != IDOK) return std::nullopt;
  return edited;
}

}  // namespace qz::ui::win32
