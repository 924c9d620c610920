#include "ui/qt/dialogs/prompt_box.h"

namespace qz::ui {

void ShowModalPromptBox(QWidget* parent, const PromptBox& box) {
  QMessageBox message(box.icon, box.title, box.text, QMessageBox::Ok, parent);
  message.exec();
}

}  // namespace qz::ui
