#include "ui/qt/controls/color_list_box.h"

#include "ui/qt/controls/color_line_delegate.h"

namespace qz::ui {

CColorListBox::CColorListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new ColorLineDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Long lines are cut at the right edge, as in a plain list box; the newest line stays
  // in view without a sideways scroll.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextElideMode(Qt::ElideNone);
}

int CColorListBox::AddLine(const QString& text, Colour colour) {
  auto* line = new QListWidgetItem(text);
  line->setData(kLineColourRole, QVariant::fromValue<quint32>(colour));
  addItem(line);
  return count() - 1;
}

Colour CColorListBox::LineColour(int index) const {
  const QListWidgetItem* line = item(index);
  return line ? line->data(kLineColourRole).value<quint32>() : 0;
}

}  // namespace qz::ui
