// The settings sheet's "MMS" page: how the modem reaches the operator's MMS service.
#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace qz {
struct Settings;
}

namespace qz::ui {

class CMMSSettingsPage : public QWidget {
  Q_OBJECT

 public:
  explicit CMMSSettingsPage(const Settings& settings, QWidget* parent = nullptr);

  // Copies the page into `settings`, texts cut to their fields' capacities. The content
  // type is shown only and stays as it is.
  void CopyTo(Settings& settings) const;

 private:
  QLineEdit* url_server_ = nullptr;
  QLineEdit* apn_ = nullptr;
  QLineEdit* ip_address_ = nullptr;
  QLineEdit* login_ = nullptr;
  QLineEdit* password_ = nullptr;
  QComboBox* port_type_ = nullptr;
  QLineEdit* content_type_ = nullptr;
};

}  // namespace qz::ui
