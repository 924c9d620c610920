// Sizes of the dialogs and of their fixed-size controls, given in dialog units of the
// widget's own font, so the proportions hold on any desktop font; and the one alignment
// rule the layouts cannot express by themselves.
#pragma once

#include <QSize>

class QLabel;
class QPlainTextEdit;
class QWidget;

namespace qz::ui {

// `units` in pixels for `widget`'s font.
QSize DialogUnitsToPixels(const QWidget& widget, QSize units);

// Gives `window` its size in dialog units, grown where its layout needs more, so that a
// large or wide font never clips a label or squeezes two controls into each other.
void ResizeInDialogUnits(QWidget& window, QSize units);

// A label on the left of a multi-line box, at its top: moves the label's text down onto
// the box's first line of text.
void AlignWithFirstLine(QLabel& label, const QPlainTextEdit& box);

}  // namespace qz::ui
