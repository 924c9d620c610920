// Where the Qt dialogs meet the window's toolkit-free part: texts between QString and the
// gateway's 8-bit text or UTF-8, the refusal of a field, and the phone-number history in
// a combo box.
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

#include "ui/qt/dialogs/prompt_box.h"

class QComboBox;
class QWidget;

namespace qz::ui {

class PhoneNumberHistory;

std::string ToUtf8(const QString& text);
QString FromUtf8(std::string_view text);
// The gateway's one byte per character (gateway_text.h), cut to `capacity` when given.
std::string ToGatewayText(const QString& text, std::size_t capacity = 0);
QString FromGatewayText(std::string_view text);

// A field that keeps its dialog open, and the prompt that says why.
struct FieldProblem {
  QWidget* field = nullptr;
  QString text;
};

// Shows the prompt (titled with the dialog's title), then gives the field the focus with
// its whole text selected, ready to be typed over.
void RefuseField(const PromptHandler& prompt, QWidget& dialog, const FieldProblem& problem);

// The combo box's list is the history, and its text the number that was used.
void FillHistory(const PhoneNumberHistory& history, QComboBox& box);
void RememberFromBox(PhoneNumberHistory& history, const QComboBox& box);

}  // namespace qz::ui
