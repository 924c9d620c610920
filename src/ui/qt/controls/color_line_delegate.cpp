#include "ui/qt/controls/color_line_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "ui/qt/color_ref_qt.h"

namespace qz::ui {
namespace {

constexpr int kTextIndent = 2;

}  // namespace

LineLook LineLookFor(Colour colour, bool selected, bool enabled, const QPalette& palette,
                     QPalette::ColorGroup group) {
  if (selected) {
    if (colour == 0)
      return {palette.color(group, QPalette::Highlight),
              palette.color(group, QPalette::HighlightedText)};
    return {ToQColor(colour), ToQColor(InverseColour(colour))};
  }
  if (!enabled) return {std::nullopt, palette.color(QPalette::Disabled, QPalette::Text)};
  if (colour == 0) return {std::nullopt, palette.color(group, QPalette::Text)};
  return {std::nullopt, ToQColor(TextOnWhite(colour))};
}

void ColorLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  if (!index.isValid()) return;
  const Colour colour = index.data(kLineColourRole).value<quint32>();
  const bool enabled = option.state & QStyle::State_Enabled;
  const QPalette::ColorGroup group =
      option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
  const LineLook look =
      LineLookFor(colour, option.state & QStyle::State_Selected, enabled, option.palette, group);

  painter->save();
  if (look.background) painter->fillRect(option.rect, *look.background);
  if (option.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.backgroundColor = look.background.value_or(option.palette.color(group, QPalette::Base));
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
  }
  painter->setFont(option.font);
  painter->setPen(look.text);
  // A little air between the frame and the text; the line itself is cut at the right.
  painter->drawText(option.rect.adjusted(kTextIndent, 0, 0, 0),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QSize ColorLineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  return {option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()),
          LineHeight(option.widget, option.fontMetrics)};
}

int ColorLineDelegate::LineHeight(const QWidget* list, const QFontMetrics& metrics) {
  const QStyle* style = list ? list->style() : QApplication::style();
  return std::max(style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, list), metrics.height());
}

}  // namespace qz::ui
