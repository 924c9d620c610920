// The message boxes the dialogs show: a refused field, the restart notice. They go through
// a replaceable handler, so a test records them instead of waiting for a click on a modal
// box, and the dialog carries on exactly as after the operator's OK.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace qz::ui {

struct PromptBox {
  QMessageBox::Icon icon = QMessageBox::Warning;
  QString title;
  QString text;
};

// Shows `box` over `parent` and returns once it is closed.
using PromptHandler = std::function<void(QWidget* parent, const PromptBox& box)>;

// The operator's box: modal, one OK button.
void ShowModalPromptBox(QWidget* parent, const PromptBox& box);

}  // namespace qz::ui
