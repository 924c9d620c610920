// Report-table errors in the window program: a modal box on the window's thread. The
// report thread that hit the error waits until the operator closes it, and meanwhile no
// job is reported or freed.
#pragma once

#include <QWidget>
#include <string>

#include "core/error_box.h"

namespace qz::ui {

class WindowErrorBox : public ErrorBox {
 public:
  // `window` outlives every worker thread that can report an error.
  explicit WindowErrorBox(QWidget* window) : window_(window) {}
  void show(const std::string& title, const std::string& text) override;

 private:
  QWidget* window_;
};

}  // namespace qz::ui
