// Dialog units, the measure of every dialog of the window: a horizontal unit is a quarter
// of the font's average character width, a vertical unit an eighth of its height. Sizes
// given in them keep their proportions on whatever font a Linux desktop supplies.
#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace qz::ui {

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// The base units of `font` measured as the original platform measures a dialog font: the
// width of the 52 letters A-Z and a-z, halved per letter pair and rounded, and the full
// character height (ascent plus descent).
DialogBaseUnits DialogBaseUnitsOf(const QFont& font);

// One coordinate, rounded to the nearest pixel with halves away from zero.
int DialogXToPixels(int units, DialogBaseUnits base);
int DialogYToPixels(int units, DialogBaseUnits base);

QPoint DialogPointToPixels(QPoint units, DialogBaseUnits base);
QSize DialogSizeToPixels(QSize units, DialogBaseUnits base);
// Position and size are converted each on its own, as a dialog template's controls are, so
// a control's width does not depend on where it sits.
QRect DialogRectToPixels(const QRect& units, DialogBaseUnits base);

}  // namespace qz::ui
