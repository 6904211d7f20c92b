#include "AccountText.h"

#include <cstring>

namespace melodrift {

int CodePageLength(const QString& text) { return static_cast<int>(text.toUtf8().size()); }

QString LimitTyping(const QString& before, const QString& after, int maxBytes, int& caret)
{
    QString text = after;
    // One character typed: drop characters before the caret until it fits
    // (a surrogate pair goes as one).
    if (text.size() > before.size() && text.size() - before.size() <= 2) {
        while (CodePageLength(text) > maxBytes && caret > 0) {
            int n = 1;
            if (caret >= 2 && text[caret - 1].isLowSurrogate() && text[caret - 2].isHighSurrogate())
                n = 2;
            text.remove(caret - n, n);
            caret -= n;
        }
        if (CodePageLength(text) <= maxBytes)
            return text;
    }
    if (CodePageLength(text) <= maxBytes)
        return text;
    caret = static_cast<int>(before.size());
    return before;
}

bool HasUnwritableCharacter(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() == 0)
            return true;
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

bool WriteField(const QString& text, uint8_t* field, size_t capacity)
{
    if (HasUnwritableCharacter(text))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (static_cast<size_t>(bytes.size()) + 1 > capacity)
        return false;
    std::memset(field, 0, capacity);
    std::memcpy(field, bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

} // namespace melodrift
