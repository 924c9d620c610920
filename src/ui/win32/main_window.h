// The operator window on Windows: the main dialog of the resource script, with the 30 job
// cells, the colour log, the signal gauge and its status line, and the buttons that open
// the About box, the settings sheet and the send and SMSC dialogs. Its first timer tick
// starts the gateway on a thread of its own.
//
// Worker threads never touch a control. They tell the window what changed with a number
// (notify, from any thread), which is posted to the window's thread; there the window
// reads the change through the gateway's FrontEndView.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/window_sink.h"
#include "gateway/front_end_view.h"
#include "gateway/status_file.h"
#include "ui/main_window_layout.h"
#include "ui/win32/controls/color_list_box.h"

namespace qz {
class Gateway;
}

namespace qz::ui::win32 {

class CBitmapGauge;

// Messages the window posts or sends to itself, and the one a test sends to ask what a
// cell shows (a number, so it crosses processes without marshalling).
enum WindowMessage : UINT {
  kNotifyMessage = WM_APP + 1,      // wparam: the notification number
  kGatewayReadyMessage = WM_APP + 2,
  kOperatorDoneMessage = WM_APP + 3,
  kStoppedMessage = WM_APP + 4,
  kErrorBoxMessage = WM_APP + 5,    // lparam: the box to show, sent from a worker thread
  kCellImageQuery = WM_APP + 6,     // wparam: the cell; answers its image index, or -1
  kCellHistoryQuery = WM_APP + 7,   // wparam: the cell; answers bit i set when image i was shown
};

class CMainDialog : public WindowSink {
 public:
  explicit CMainDialog(Gateway& gateway);
  ~CMainDialog() override;
  CMainDialog(const CMainDialog&) = delete;
  CMainDialog& operator=(const CMainDialog&) = delete;

  // Creates and shows the window; false when it cannot be made.
  bool Create();
  HWND Window() const { return window_; }

  // WindowSink: called by worker threads, never blocks.
  void notify(int number) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Initialise();
  void AskSendWithQzgsms();
  void OnTimer(UINT_PTR timer);
  void FirstTick();
  void OnNotification(int number);
  void DrainOneLogLine();
  void ShowCell(int cell);
  void ShowSignal();
  void OnCommand(int id);
  void BeginStop();
  void EnableSendButtons(bool enable);
  void SetStatusLine(const char* text);
  // Runs `work` off the window's thread; one operator action at a time.
  void RunOffTheWindowThread(std::function<void()> work);
  void SendSms();
  void SendMms();
  void ChangeSmsc();
  void OpenSettings();

  Gateway& gateway_;
  FrontEndView view_;
  HWND window_ = nullptr;
  CColorListBox log_list_;
  CBitmapGauge* gauge_ = nullptr;
  HWND tooltips_ = nullptr;
  std::array<HBITMAP, 7> phone_images_{};
  std::array<int, kJobCells> cell_image_index_{};
  std::array<int, kJobCells> cell_images_shown_{};
  int label_margin_ = 0;

  bool first_tick_ = true;
  std::thread startup_thread_;
  bool stopping_ = false;
  bool stopped_ = false;
  std::thread stop_thread_;
  std::atomic<bool> operator_busy_{false};
  std::thread operator_thread_;
  StatusFileWriter status_;
};

}  // namespace qz::ui::win32
