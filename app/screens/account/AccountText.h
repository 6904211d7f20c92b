#pragma once

// Texts of the account screens in the program's 8-bit code page (UTF-8):
// byte lengths, the typing limit of the edits, and whether a text can go
// into a fixed NUL-terminated field at all.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace melodrift {

int CodePageLength(const QString& text);

// The typing rule of the edits: while the text is longer than maxBytes in
// the code page, the character before the caret (the one just typed) goes;
// a paste that does not fit is undone as a whole. Returns the text to keep
// and moves caret with it.
QString LimitTyping(const QString& before, const QString& after, int maxBytes, int& caret);

// A text that cannot be written into a NUL-terminated code-page field as it
// stands: an unpaired surrogate (no encoding at all) or a NUL (it would end
// the field early).
bool HasUnwritableCharacter(const QString& text);

// Writes text with its NUL into field (capacity bytes); false, leaving the
// field untouched, when it does not fit whole or cannot be written.
bool WriteField(const QString& text, uint8_t* field, size_t capacity);

} // namespace melodrift
