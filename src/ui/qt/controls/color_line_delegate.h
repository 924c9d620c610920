// Draws one line of the colour log list: the line's own colour on the system background
// (green and grey in darker shades that read on white, see TextOnWhite),
// or, selected, the inverse colour on a field of the line's colour, so a selected line
// keeps its meaning. Colour 0 stands for the system colours.
#pragma once

#include <QColor>
#include <QPalette>
#include <QStyledItemDelegate>
#include <optional>

#include "core/colors.h"
#include "ui/color_ref.h"

namespace qz::ui {

// Item-data role holding a line's colour (a qz::Colour stored as quint32).
inline constexpr int kLineColourRole = Qt::UserRole + 1;

struct LineLook {
  std::optional<QColor> background;  // none: the list's own background shows
  QColor text;
};

// The colours of a line. `group` is the palette group of an enabled list (active or
// inactive window); a disabled line takes the grey text of the disabled group.
LineLook LineLookFor(Colour colour, bool selected, bool enabled, const QPalette& palette,
                     QPalette::ColorGroup group = QPalette::Active);

class ColorLineDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // Every line is as high as the style's check indicator, the platform's measure of a
  // small one-line item; never lower than the font, whose descenders it would cut.
  static int LineHeight(const QWidget* list, const QFontMetrics& metrics);
};

}  // namespace qz::ui
