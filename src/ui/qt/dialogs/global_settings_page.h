// The settings sheet's "Global" page: the modem's port and line, the SIM, retries,
// incoming messages, the signal poll, the technical alarm and voice calls.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "ui/mode_fields.h"
#include "ui/qt/dialogs/field_widgets.h"
#include "ui/settings_form.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qz {
struct Settings;
}

namespace qz::ui {

class CGlobalSettingsPage : public QWidget {
  Q_OBJECT

 public:
  // Filled from `settings`; the port list offers COM1 to COM8, then `serial_ports`.
  CGlobalSettingsPage(const Settings& settings, const std::vector<std::string>& serial_ports,
                      QWidget* parent = nullptr);

  // The first numeric field that does not hold a number of its kind, in page order.
  std::optional<FieldProblem> FirstRefusedField() const;

  // Copies the page into `settings` (after FirstRefusedField found nothing). Texts are cut
  // to their fields' capacities. `Mode` is the baud-rate text with the parity, data bits
  // and stop bits the page opened with: the parity shown is not read back.
  void CopyTo(Settings& settings) const;

 private:
  GlobalSettingsFields Fields() const;

  ModeFields mode_;
  QComboBox* port_ = nullptr;
  QLineEdit* baud_rate_ = nullptr;
  QLineEdit* parity_ = nullptr;
  QLineEdit* pin_ = nullptr;
  QLineEdit* number_ = nullptr;
  QComboBox* retry_count_ = nullptr;
  QLineEdit* retry_delay_ = nullptr;
  QCheckBox* incoming_ = nullptr;
  QLineEdit* quality_poll_ = nullptr;
  QLineEdit* tech_alarm_ = nullptr;
  QLineEdit* sleep_after_alarm_ = nullptr;
  QLineEdit* voice_call_ = nullptr;
};

}  // namespace qz::ui
