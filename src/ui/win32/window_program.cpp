#include "ui/win32/window_program.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <filesystem>

#include "gateway/folder_claims.h"
#include "gateway/gateway.h"
#include "gateway/orderly_stop.h"
#include "gateway/processor_rule.h"
#include "gateway/program_options.h"
#include "platform/windows/windows_text.h"
#include "ui/win32/main_window.h"
#include "ui/win32/window_error_box.h"
#include "ui/window_texts.h"

namespace qz::ui::win32 {
namespace {

const ProgramDescription kProgram{
    "qzgsms",
    "The alarm gateway with its operator window: it delivers the jobs dropped into the watch\n"
    "folder through the GSM modem, shows them, the log and the signal, and sends by hand.",
    kOptionHelp | kOptionVersion | kOptionInstance};

// A window program has no console of its own. Started from one (for --help, -V or a wrong
// command line) it writes to that console; with its output redirected, to the file or pipe.
void UseTheParentsConsole() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output != nullptr && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}

void ShowError(const std::string& text) {
  MessageBoxW(nullptr, widen(text).c_str(), widen(kWindowTitle).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int RunWindowProgram(int argc, char** argv) {
  if (argc > 1) UseTheParentsConsole();
  ProgramOptions options;
  if (auto code = handle_program_options(kProgram, argc, argv, options)) return *code;

  // Before anything in the instance folder is read or written: a second gateway on it
  // would fire false technical alarms and write into the running one's settings.
  static InstanceClaim claim = claim_instance_folder(std::filesystem::current_path());
  if (!claim.refusal.empty()) {
    std::printf("%s\n", claim.refusal.c_str());
    std::fflush(stdout);
    ShowError(claim.refusal);
    return 1;
  }
  if (!claim.warning.empty()) std::printf("%s\n", claim.warning.c_str());

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  // Never destroyed: worker threads may still be about when the program ends.
  static Gateway gateway(std::filesystem::current_path());
  apply_processor_rule(gateway.log);

  static CMainDialog window(gateway);
  if (!window.Create()) {
    ShowError("The window could not be created (error " + std::to_string(GetLastError()) + ")");
    return 1;
  }
  static WindowErrorBox error_box(window.Window());
  gateway.set_error_box(&error_box);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsWindow(window.Window()) && IsDialogMessageW(window.Window(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // Also after the stop limit ran out: a call still up is hung up first.
  end_gateway_process(gateway, 0);
}

}  // namespace qz::ui::win32
