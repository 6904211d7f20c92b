#include "LimitedEdits.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVariant>

#include "AccountText.h"

namespace melodrift {

namespace {

// The text as it was before the change being handled.
constexpr const char* kBefore = "melodriftTextBefore";

} // namespace

void LimitLineEdit(QLineEdit* edit, int maxBytes)
{
    edit->setProperty(kBefore, edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, maxBytes](const QString& text) {
        int caret = edit->cursorPosition();
        const QString kept = LimitTyping(edit->property(kBefore).toString(), text, maxBytes, caret);
        edit->setProperty(kBefore, kept);
        if (kept != text) {
            QSignalBlocker block(edit);
            edit->setText(kept);
            edit->setCursorPosition(caret);
        }
    });
}

void KeepWithinBytes(QPlainTextEdit* edit, int maxBytes)
{
    const QString text = edit->toPlainText();
    int caret = edit->textCursor().position();
    const QString kept = LimitTyping(edit->property(kBefore).toString(), text, maxBytes, caret);
    edit->setProperty(kBefore, kept);
    if (kept == text)
        return;
    QSignalBlocker block(edit);
    edit->setPlainText(kept);
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(std::min(caret, static_cast<int>(kept.size())));
    edit->setTextCursor(cursor);
}

void ForgetTypedText(QPlainTextEdit* edit) { edit->setProperty(kBefore, edit->toPlainText()); }

} // namespace melodrift
