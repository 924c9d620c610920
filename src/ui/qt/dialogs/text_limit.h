// Edit fields that take no more than their limit while the operator types or pastes, as
// the SMS message does, instead of refusing a long text only at Send. Characters are
// counted as the gateway counts them: a surrogate pair is one.
#pragma once

#include <QString>

class QLineEdit;
class QPlainTextEdit;

namespace qz::ui {

qsizetype CharacterCount(const QString& text);

// Of what was just typed or pasted, the part beyond the limit is refused; the text around
// it stays (a document position is an index into the plain text).
void KeepWithinLimit(QPlainTextEdit& edit, int max_characters);

// An edit that would make the text longer than the limit is refused. A text the program
// puts in (a number from the history, a picked file) is never cut short: Send refuses it
// whole, and the operator can shorten it.
void KeepWithinLimit(QLineEdit& edit, int max_characters);

}  // namespace qz::ui
