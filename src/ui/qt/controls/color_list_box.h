// The window's log list: each line drawn in its own colour, the colour kept as the line's
// item data (0 for the system colours). Lines are single, vertically centred and all of
// one height.
#pragma once

#include <QListWidget>
#include <QString>

#include "core/colors.h"

namespace qz::ui {

class CColorListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CColorListBox(QWidget* parent = nullptr);

  // Appends a line and returns its index.
  int AddLine(const QString& text, Colour colour);
  // The colour stored with line `index`; 0 for a line that does not exist.
  Colour LineColour(int index) const;
};

}  // namespace qz::ui
