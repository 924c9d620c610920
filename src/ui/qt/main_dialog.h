// The operator window: a 6 x 5 grid of job cells, the colour log, the signal gauge with its
// status line, and the buttons that open the About box, the settings sheet and the send
// and SMSC dialogs. Its first timer tick starts the gateway on a thread of its own.
//
// Worker threads never touch a widget. They tell the window what changed with a number
// (notify, from any thread), which arrives here as a queued call on the window's thread;
// the window then reads the change through the gateway's FrontEndView.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

#include "core/window_sink.h"
#include "gateway/front_end_view.h"
#include "ui/main_window_layout.h"
#include "ui/qt/dialog_units.h"

class QLabel;
class QPushButton;

namespace qz {
class Gateway;
}

namespace qz::ui {

class CBitmapGauge;
class CColorListBox;

class CMainDialog : public QDialog, public WindowSink {
  Q_OBJECT

 public:
  static constexpr int kCells = kJobCells;

  // Asks a yes/no question; a test answers without a box.
  using AskYesNo = std::function<bool(QWidget* parent, const QString& title, const QString& text)>;

  enum class Start { kOnFirstTick, kNever };

  // `start` kNever leaves the gateway alone, for tests of the window itself.
  explicit CMainDialog(Gateway& gateway, QWidget* parent = nullptr, AskYesNo ask = {},
                       Start start = Start::kOnFirstTick);
  // Stops what still runs of the gateway (the program itself ends without getting here).
  ~CMainDialog() override;

  // WindowSink: called by worker threads, never blocks.
  void notify(int number) override;

  // What the window shows, for tests and screenshots.
  CColorListBox* LogList() const { return log_list_; }
  CBitmapGauge* Gauge() const { return gauge_; }
  QLabel* CellImage(int cell) const { return cell_images_.at(static_cast<std::size_t>(cell)); }
  QLabel* CellLabel(int cell) const { return cell_labels_.at(static_cast<std::size_t>(cell)); }
  int CellImageIndex(int cell) const { return cell_image_index_.at(static_cast<std::size_t>(cell)); }
  QLabel* StatusLine() const { return status_line_; }
  // 0 About, 1 Settings, 2 Send SMS, 3 Send MMS, 4 Change SMSC, 5 Exit.
  QPushButton* Button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
  bool GatewayStarted() const { return startup_thread_.joinable(); }

 signals:
  // The orderly stop asked for by Exit or the close box has ended.
  void Stopped();

 public slots:
  void OpenAbout();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The About item of the system menu, where the platform has one.
  bool nativeEvent(const QByteArray& event_type, void* message, qintptr* result) override;
  void reject() override;  // the Escape key closes the window as Exit does

 private:
  void BuildControls();
  void AskSendWithQzgsms();
  void FirstTick();
  void OnNotification(int number);
  void DrainOneLogLine();
  void ShowCell(int cell);
  void ShowSignal();
  void BeginStop();
  // Send SMS, Send MMS and Change SMSC: they talk to the modem.
  void EnableSendButtons(bool enable);
  static constexpr std::size_t kFirstSendButton = 2;
  static constexpr std::size_t kLastSendButton = 4;

  Gateway& gateway_;
  FrontEndView view_;
  AskYesNo ask_;
  DialogBaseUnits units_;

  std::array<QLabel*, kCells> cell_images_{};
  std::array<QLabel*, kCells> cell_labels_{};
  std::array<int, kCells> cell_image_index_{};
  CColorListBox* log_list_ = nullptr;
  CBitmapGauge* gauge_ = nullptr;
  QLabel* status_line_ = nullptr;
  std::array<QPushButton*, 6> buttons_{};

  QTimer startup_timer_;
  bool first_tick_ = true;
  std::thread startup_thread_;
  bool stopping_ = false;
  bool stopped_ = false;
  std::thread stop_thread_;
  // A send, SMSC change or the like started by the operator, off the window's thread.
  std::atomic<bool> operator_busy_{false};
  std::thread operator_thread_;

  friend class MainDialogCommands;
};

}  // namespace qz::ui
