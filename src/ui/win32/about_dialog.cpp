// The About box: the logo, the program's name and who made it. Nothing in it reacts to
// the mouse; it has no behaviour beyond closing.
#include "ui/win32/resource_ids.h"
#include "ui/win32/send_dialogs.h"
#include "ui/win32/window_images.h"

namespace qz::ui::win32 {
namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      // The template's logo holds an alpha channel: shown on the dialog's own face.
      HBITMAP logo = LoadOpaqueBitmap(IDB_ABOUT_LOGO, GetSysColor(COLOR_BTNFACE));
      SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(logo));
      HWND picture = FindWindowExW(dialog, nullptr, L"Static", nullptr);
      if (picture != nullptr && logo != nullptr) {
        const LRESULT loaded = SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
        if (loaded != 0) DeleteObject(reinterpret_cast<HGDIOBJ>(loaded));
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      break;
    case WM_DESTROY:
      if (auto logo = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(dialog, DWLP_USER))) DeleteObject(logo);
      break;
  }
  return FALSE;
}

}  // namespace

void RunAboutDialog(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
}

}  // namespace qz::ui::win32
