#include "ui/dialogs/field_check.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>
#include <algorithm>

namespace qz::ui {
namespace {

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

std::optional<int64_t> ReadNumberField(const QString& text, NumberKind kind, int64_t min,
                                       int64_t max, FieldProblem* problem) {
  const QString trimmed = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (kind == NumberKind::kInteger && i < trimmed.size() &&
      (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+'))) {
    negative = trimmed[i] == QLatin1Char('-');
    ++i;
  }
  const qsizetype first_digit = i;
  // Far beyond any field's range, so the sum never overflows while digits remain.
  constexpr int64_t kCeiling = int64_t{1} << 40;
  int64_t magnitude = 0;
  for (; i < trimmed.size() && IsDigit(trimmed[i]); ++i)
    magnitude = std::min(kCeiling, magnitude * 10 + (trimmed[i].unicode() - '0'));
  if (i == first_digit || i != trimmed.size()) {
    problem->text = kind == NumberKind::kInteger
                        ? QStringLiteral("Please enter an integer.")
                        : QStringLiteral("Please enter a positive integer.");
    return std::nullopt;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < min || value > max) {
    problem->text = QStringLiteral("Please enter an integer between %1 and %2.").arg(min).arg(max);
    return std::nullopt;
  }
  return value;
}

QString TooLongPrompt(int max_characters) {
  return QStringLiteral("Please enter no more than %1 characters.").arg(max_characters);
}

int32_t LeadingInteger(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  uint32_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i)
    value = value * 10u + static_cast<uint32_t>(text[i].unicode() - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

void RefuseField(const PromptHandler& prompt, QWidget& dialog, const FieldProblem& problem) {
  prompt(&dialog, PromptBox{QMessageBox::Warning, dialog.windowTitle(), problem.text});
  QWidget* field = problem.field;
  if (field == nullptr) return;
  field->setFocus(Qt::OtherFocusReason);
  if (auto* line = qobject_cast<QLineEdit*>(field)) {
    line->selectAll();
  } else if (auto* box = qobject_cast<QComboBox*>(field); box && box->lineEdit()) {
    box->lineEdit()->selectAll();
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(field)) {
    text->selectAll();
  }
}

}  // namespace qz::ui
