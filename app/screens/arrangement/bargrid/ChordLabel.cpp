#include "ChordLabel.h"

namespace melodrift {

namespace {

struct Spelling {
    const char* letter;
    char accidental;    // 0, 'b' or '#'
};

constexpr Spelling kLetters[12] = {
    {"C", 0}, {"D", 'b'}, {"D", 0}, {"E", 'b'}, {"E", 0}, {"F", 0},
    {"F", '#'}, {"G", 0}, {"A", 'b'}, {"A", 0}, {"B", 'b'}, {"B", 0},
};

// Degree above the key to numeral and accidental.
constexpr struct {
    int numeral;        // 1..7
    char accidental;
} kRoman[12] = {
    {1, 0}, {2, 'b'}, {2, 0}, {3, 'b'}, {3, 0}, {4, 0},
    {4, '#'}, {5, 0}, {6, 'b'}, {6, 0}, {7, 'b'}, {7, 0},
};

QString Numeral(int n)
{
    // U+2160 ROMAN NUMERAL ONE onwards.
    return QString(QChar(char16_t(0x2160 + n - 1)));
}

int LetterKern(const char* letter)
{
    switch (letter[0]) {
    case 'F': return -4;
    case 'G': return 0;
    default: return -1;
    }
}

int RomanKern(int numeral)
{
    switch (numeral) {
    case 1: return -6;
    case 2: return -3;
    case 4: return -2;
    case 5: return -4;
    default: return 0;
    }
}

} // namespace

std::vector<ChordGlyph> ChordLabelGlyphs(int left, int top, int code, int key, bool letters)
{
    std::vector<ChordGlyph> glyphs;
    if (code < 0)
        return glyphs;
    const int quality = code % 4;
    const int degree = (code / 4) % 12;
    const bool minor = quality == 1 || quality == 3;
    const bool seventh = quality == 2 || quality == 3;
    const char accidental = letters ? kLetters[((key < 0 ? 0 : key) + degree) % 12].accidental
                                    : kRoman[degree].accidental;
    int x = left + 5 + (accidental ? 2 : 0);
    if (quality == 1 || quality == 2)
        x -= 3;
    else if (quality == 3)
        x -= 6;

    int s;
    if (letters) {
        const Spelling& sp = kLetters[((key < 0 ? 0 : key) + degree) % 12];
        glyphs.push_back({QString::fromLatin1(sp.letter), x + 8, top - 1, 16, true, true, false});
        if (sp.accidental)
            glyphs.push_back({QString(QChar(sp.accidental)), x + 4, sp.accidental == '#' ? top - 2 : top - 1, 9, true,
                              true, false});
        s = x + 23 + LetterKern(sp.letter);
        if (minor) {
            glyphs.push_back({QStringLiteral("m"), s, top + 6, 9, true, true, false});
            s += 10;
        }
        if (seventh)
            glyphs.push_back({QStringLiteral("7"), minor ? s : s + 2, top + 7, 8, false, false, false});
    } else {
        const auto& r = kRoman[degree];
        glyphs.push_back({Numeral(r.numeral), x + 3, top, 14, true, true, true});
        if (r.accidental)
            glyphs.push_back({QString(QChar(r.accidental)), r.numeral <= 2 ? x + 3 : x,
                              r.accidental == '#' ? top + 1 : top + 2, 7, true, true, true});
        s = x + 23 + RomanKern(r.numeral);
        if (minor) {
            glyphs.push_back({QStringLiteral("m"), s, top + 7, 9, true, true, true});
            s += 10;
        }
        if (seventh)
            glyphs.push_back({QStringLiteral("7"), minor ? s + 3 : s + 5, top + 7, 9, false, false, true});
    }
    return glyphs;
}

QString ChordLabelText(int code, int key, bool letters)
{
    const auto glyphs = ChordLabelGlyphs(0, 0, code, key, letters);
    if (glyphs.empty())
        return {};
    // Readers put the accidental first although it is drawn after the root.
    QString text;
    size_t i = 0;
    if (glyphs.size() > 1 && (glyphs[1].text == QLatin1String("#") || glyphs[1].text == QLatin1String("b"))) {
        text = glyphs[1].text + glyphs[0].text;
        i = 2;
    } else {
        text = glyphs[0].text;
        i = 1;
    }
    for (; i < glyphs.size(); ++i)
        text += glyphs[i].text;
    return text;
}

} // namespace melodrift
