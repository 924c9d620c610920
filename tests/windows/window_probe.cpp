// What the window scenario (window_scenario.sh) asks the running qzgsms.exe, from another
// process under the same Wine: the window answers by messages, so nothing is read off the
// screen and no pixel is timed.
//   window_probe cell N           the image index cell N shows now
//   window_probe shown N          the images cell N has shown since the start, as a bit mask
//   window_probe label N          the text of cell N's label
//   window_probe enabled ID       1 when control ID of the main window is enabled
//   window_probe click TITLE ID   posts a click of button ID to the window titled TITLE
//   window_probe page TITLE N     shows page N of the property sheet titled TITLE
//   window_probe close TITLE      posts WM_CLOSE to the window titled TITLE
// Prints the answer and ends with 0, or ends with 1 when the window is not there.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/windows/windows_text.h"
#include "ui/win32/main_window.h"
#include "ui/win32/resource_ids.h"
#include "ui/window_texts.h"

namespace {

HWND Find(const char* title) { return FindWindowW(nullptr, qz::widen(title).c_str()); }

int Answer(LRESULT value) {
  std::printf("%lld\n", static_cast<long long>(value));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  using namespace qz::ui::win32;
  if (command == "click" || command == "page" || command == "close") {
    HWND window = Find(argv[2]);
    if (window == nullptr) return 1;
    if (command == "close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (argc < 4) return 2;
    const int number = std::atoi(argv[3]);
    if (command == "page") return Answer(SendMessageW(window, PSM_SETCURSEL, static_cast<WPARAM>(number), 0));
    HWND button = GetDlgItem(window, number);
    return PostMessageW(window, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED), reinterpret_cast<LPARAM>(button)) ? 0 : 1;
  }
  HWND main_window = Find(qz::ui::kWindowTitle);
  if (main_window == nullptr) return 1;
  const int number = std::atoi(argv[2]);
  if (command == "cell") return Answer(SendMessageW(main_window, kCellImageQuery, static_cast<WPARAM>(number), 0));
  if (command == "shown") return Answer(SendMessageW(main_window, kCellHistoryQuery, static_cast<WPARAM>(number), 0));
  if (command == "enabled") return Answer(IsWindowEnabled(GetDlgItem(main_window, number)) ? 1 : 0);
  if (command == "label") {
    wchar_t text[512] = {};
    SendMessageW(GetDlgItem(main_window, IDC_CELL_LABEL_FIRST + number), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    std::printf("%s\n", qz::narrow(text).c_str());
    return 0;
  }
  return 2;
}
