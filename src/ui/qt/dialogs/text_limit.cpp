#include "ui/qt/dialogs/text_limit.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>
#include <algorithm>

namespace qz::ui {
namespace {

class LengthLimit : public QValidator {
 public:
  LengthLimit(QLineEdit& edit, int max_characters) : QValidator(&edit), max_characters_(max_characters) {
    // The edit holds the proposed text already while it asks, so the length it had is
    // kept here.
    connect(&edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { length_ = CharacterCount(text); });
    length_ = CharacterCount(edit.text());
  }

  State validate(QString& text, int& /*position*/) const override {
    const qsizetype length = CharacterCount(text);
    // Shortening a text that is over the limit already must stay possible.
    return length <= max_characters_ || length <= length_ ? Acceptable : Invalid;
  }

 private:
  int max_characters_;
  qsizetype length_ = 0;
};

}  // namespace

qsizetype CharacterCount(const QString& text) {
  qsizetype n = text.size();
  for (qsizetype i = 1; i < text.size(); ++i)
    if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate()) --n;
  return n;
}

void KeepWithinLimit(QPlainTextEdit& edit, int max_characters) {
  QObject::connect(edit.document(), &QTextDocument::contentsChange, &edit,
                   [&edit, max_characters](int position, int /*removed*/, int added) {
    const QString text = edit.toPlainText();
    qsizetype excess = CharacterCount(text) - max_characters;
    if (excess <= 0) return;
    const qsizetype end = std::min<qsizetype>(position + added, text.size());
    qsizetype start = end;
    while (excess > 0 && start > 0) {
      --start;
      if (start > 0 && text[start].isLowSurrogate() && text[start - 1].isHighSurrogate()) --start;
      --excess;
    }
    QTextCursor cut(edit.document());
    cut.setPosition(static_cast<int>(start));
    cut.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
  });
}

void KeepWithinLimit(QLineEdit& edit, int max_characters) {
  edit.setValidator(new LengthLimit(edit, max_characters));
}

}  // namespace qz::ui
