#pragma once

// The edits of the account dialogs keep their text within a number of
// code-page bytes as it is typed (see LimitTyping).

class QLineEdit;
class QPlainTextEdit;

namespace melodrift {

// Keeps the limit on every change of the edit's text.
void LimitLineEdit(QLineEdit* edit, int maxBytes);
// For a plain-text edit whose changes the caller watches: applies the limit
// to the change just made.
void KeepWithinBytes(QPlainTextEdit* edit, int maxBytes);
// The program set the text itself: the next change is measured from it.
void ForgetTypedText(QPlainTextEdit* edit);

} // namespace melodrift
