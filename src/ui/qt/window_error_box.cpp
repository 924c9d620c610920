#include "ui/qt/window_error_box.h"

#include <QMessageBox>
#include <QThread>

namespace qz::ui {

void WindowErrorBox::show(const std::string& title, const std::string& text) {
  QWidget* window = window_;
  auto box = [window, title, text] {
    QMessageBox::critical(window, QString::fromUtf8(title.c_str()), QString::fromUtf8(text.c_str()));
  };
  if (QThread::currentThread() == window->thread()) {
    box();
  } else {
    // Blocks this (worker) thread until the operator has closed the box.
    QMetaObject::invokeMethod(window, box, Qt::BlockingQueuedConnection);
  }
}

}  // namespace qz::ui
