#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <cstdint>

namespace qz::ui {
namespace {

// value * numerator / denominator, rounded to nearest with halves away from zero.
int ScaleRounded(int value, int numerator, int denominator) {
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits DialogBaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabet =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogBaseUnits{(alphabet / 26 + 1) / 2, metrics.height()};
}

int DialogXToPixels(int units, DialogBaseUnits base) { return ScaleRounded(units, base.x, 4); }
int DialogYToPixels(int units, DialogBaseUnits base) { return ScaleRounded(units, base.y, 8); }

QPoint DialogPointToPixels(QPoint units, DialogBaseUnits base) {
  return {DialogXToPixels(units.x(), base), DialogYToPixels(units.y(), base)};
}

QSize DialogSizeToPixels(QSize units, DialogBaseUnits base) {
  return {DialogXToPixels(units.width(), base), DialogYToPixels(units.height(), base)};
}

QRect DialogRectToPixels(const QRect& units, DialogBaseUnits base) {
  return {DialogPointToPixels(units.topLeft(), base), DialogSizeToPixels(units.size(), base)};
}

}  // namespace qz::ui
