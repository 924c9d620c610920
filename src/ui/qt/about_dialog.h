// The About box: the logo, the program's name and version, who makes it.
#pragma once

#include <QDialog>

namespace qz::ui {

class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace qz::ui
