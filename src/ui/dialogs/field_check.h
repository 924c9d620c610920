// Checks of what the operator typed, shared by the dialogs: whole numbers, lengths, and
// the refusal that keeps a dialog open on the field to correct.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "ui/dialogs/prompt_box.h"

class QWidget;

namespace qz::ui {

// A field that keeps its dialog open, and the prompt that says why.
struct FieldProblem {
  QWidget* field = nullptr;
  QString text;
};

enum class NumberKind { kInteger, kUnsigned };

// A whole number as a number field holds it: blanks around it, an optional sign (only for
// kInteger), then decimal digits and nothing else. Holds the value when it is such a number
// within [min, max]; otherwise holds nothing and `problem->text` is set, `problem->field`
// is left for the caller.
std::optional<int64_t> ReadNumberField(const QString& text, NumberKind kind, int64_t min,
                                       int64_t max, FieldProblem* problem);

// The prompt for a text longer than `max_characters`.
QString TooLongPrompt(int max_characters);

// The value of a text that starts with a number, read as the settings file reads one:
// blanks, an optional sign, the leading digits (wrapping to 32 bits); no digits give 0.
int32_t LeadingInteger(const QString& text);

// Shows the prompt (titled with the dialog's title), then gives the field the focus with
// its whole text selected, ready to be typed over.
void RefuseField(const PromptHandler& prompt, QWidget& dialog, const FieldProblem& problem);

}  // namespace qz::ui
