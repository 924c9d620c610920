#include "ui/qt/dialogs/field_widgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>
#include <vector>

#include "ui/gateway_text.h"
#include "ui/phone_number_history.h"

namespace qz::ui {

std::string ToUtf8(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToGatewayText(const QString& text, std::size_t capacity) {
  return CutToCapacity(GatewayTextFromUtf8(ToUtf8(text)), capacity);
}

QString FromGatewayText(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
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

void FillHistory(const PhoneNumberHistory& history, QComboBox& box) {
  for (const std::string& number : history.Numbers()) box.addItem(FromGatewayText(number));
}

void RememberFromBox(PhoneNumberHistory& history, const QComboBox& box) {
  std::vector<std::string> listed;
  for (int i = 0; i < box.count(); ++i) listed.push_back(ToGatewayText(box.itemText(i)));
  history.Remember(ToGatewayText(box.currentText()), listed);
}

}  // namespace qz::ui
