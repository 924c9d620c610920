#include "ui/qt/dialogs/dialog_layout.h"

#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QWidget>

#include "ui/qt/dialog_units.h"

namespace qz::ui {

QSize DialogUnitsToPixels(const QWidget& widget, QSize units) {
  return DialogSizeToPixels(units, DialogBaseUnitsOf(widget.font()));
}

void ResizeInDialogUnits(QWidget& window, QSize units) {
  QSize size = DialogUnitsToPixels(window, units);
  if (QLayout* layout = window.layout()) {
    layout->activate();
    size = size.expandedTo(layout->totalMinimumSize());
  }
  window.resize(size.expandedTo(window.minimumSizeHint()));
}

void AlignWithFirstLine(QLabel& label, const QPlainTextEdit& box) {
  const int top = box.frameWidth() + static_cast<int>(box.document()->documentMargin());
  label.setContentsMargins(0, top, 0, 0);
}

}  // namespace qz::ui
