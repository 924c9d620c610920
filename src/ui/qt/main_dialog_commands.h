// What the main window's buttons do. Each opens its dialog on the window's thread; when it
// closes with its confirming button, the modem service runs on a thread of its own, so a
// send that waits behind a job in progress shows a wait cursor instead of freezing the
// window, and the window keeps showing what the gateway reports meanwhile.
#pragma once

#include <functional>

namespace qz::ui {

class CMainDialog;

class MainDialogCommands {
 public:
  explicit MainDialogCommands(CMainDialog& window) : window_(window) {}

  void SendSms();
  void SendMms();
  void ChangeSmsc();
  void OpenSettings();

 private:
  // Runs `work` off the window's thread; one operator action at a time.
  void RunOffTheWindowThread(std::function<void()> work);

  CMainDialog& window_;
};

}  // namespace qz::ui
