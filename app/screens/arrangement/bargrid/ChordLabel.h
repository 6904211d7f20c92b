#pragma once

// How a chord label is written: the pieces of text with their places and
// fonts, worked out without a canvas so the spelling and placing can be
// checked on their own. DrawChord paints them.

#include <QString>
#include <vector>

namespace melodrift {

struct ChordGlyph {
    QString text;
    int x = 0, y = 0;       // top-left of the text
    int pointSize = 0;
    bool bold = false, italic = false;
    bool roman = false;     // numeral face, else the letter face
};

// code: degree * 4 + quality relative to key (0..11; below 0 spells as C);
// letters: spell by pitch letter, else Roman numerals. Nothing for a code < 0.
std::vector<ChordGlyph> ChordLabelGlyphs(int left, int top, int code, int key, bool letters);

// The pieces' texts joined, as a reader sees the label ("bEm7", "#Ⅳ7").
QString ChordLabelText(int code, int key, bool letters);

} // namespace melodrift
