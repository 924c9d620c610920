// The settings sheet: the "Global" and "MMS" pages over the gateway's settings record. OK
// copies the pages into the record, writes it with SaveSettings and tells the operator to
// restart, since the port, the modem set-up and the threads were made from the old values.
// Cancel changes nothing.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ui/qt/dialogs/prompt_box.h"
#include "modem/serial_port_list.h"

class QTabWidget;

namespace qz {
class GatewayLog;
class SettingsFile;
struct Settings;
}  // namespace qz

namespace qz::ui {

class CGlobalSettingsPage;
class CMMSSettingsPage;

class CSettingsSheet : public QDialog {
  Q_OBJECT

 public:
  // `settings` is the running gateway's record: it is read now and written on OK, along
  // with `file`; SaveSettings echoes the new values to `log`. The port list offers
  // `serial_ports` after COM1 to COM8.
  CSettingsSheet(Settings& settings, SettingsFile& file, GatewayLog& log, QWidget* parent = nullptr,
                 const std::vector<std::string>& serial_ports = list_serial_ports());

  // How a refused field and the restart notice are shown; modal boxes unless replaced.
  void SetPromptHandler(PromptHandler handler) { prompt_ = std::move(handler); }

 public slots:
  // OK: a page with a field that does not parse is brought up with its prompt and the
  // sheet stays open; otherwise the settings are copied back, saved and the restart
  // notice shown.
  void accept() override;

 private:
  void LeavingPage(int next);
  // True when page `index` holds nothing to refuse; otherwise shows it with the prompt.
  bool PageAccepted(int index);

  Settings& settings_;
  SettingsFile& file_;
  GatewayLog& log_;
  PromptHandler prompt_ = ShowModalPromptBox;
  QTabWidget* tabs_ = nullptr;
  CGlobalSettingsPage* global_ = nullptr;
  CMMSSettingsPage* mms_ = nullptr;
  int current_page_ = 0;
};

}  // namespace qz::ui
