#include <gtest/gtest.h>

#include "ChordLabel.h"

namespace melodrift {
namespace {

TEST(ChordLabel, SpellsLettersAndNumerals)
{
    struct Case {
        int code, key;
        bool letters;
        const char* text;
    };
    const Case cases[] = {
        {29, 10, true, "Fm"},            // key bB, degree 7 minor
        {29, 10, false, "\u2164m"},      // Ⅴm
        {26, 10, false, "#\u2163" "7"},  // #Ⅳ7
        {0, 7, true, "G"},
        {4 * 1 + 3, 0, true, "bDm7"},
        {4 * 11 + 2, 1, true, "C7"},     // key bD, degree 11 wraps to C
        {4 * 3, 0, false, "b\u2162"},    // bⅢ
        {4 * 9 + 1, 0, false, "\u2165m"},
        {4 * 10 + 3, 0, false, "b\u2166m7"},
        {5, -1, true, "bDm"},            // no key yet: spelled from C
        {-1, 0, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " key " << c.key << " letters " << c.letters);
        EXPECT_EQ(ChordLabelText(c.code, c.key, c.letters), QString::fromUtf8(c.text));
    }
}

TEST(ChordLabel, PlacesThePiecesByQualityAndAccidental)
{
    // Fm in bB at (100, 50): x = 105 - 3; "F" at x + 8, "m" at x + 23 - 4.
    auto fm = ChordLabelGlyphs(100, 50, 29, 10, true);
    ASSERT_EQ(fm.size(), 2u);
    EXPECT_EQ(fm[0].x, 110);
    EXPECT_EQ(fm[0].y, 49);
    EXPECT_EQ(fm[0].pointSize, 16);
    EXPECT_EQ(fm[1].x, 102 + 19);
    EXPECT_EQ(fm[1].y, 56);

    // bEm7 at (0, 0): x = 5 + 2 - 6 = 1; flat at (5, -1); s = 1 + 23 - 1 = 23;
    // "m" at 23, "7" right after it at 33.
    auto ebm7 = ChordLabelGlyphs(0, 0, 4 * 3 + 3, 0, true);
    ASSERT_EQ(ebm7.size(), 4u);
    EXPECT_EQ(ebm7[1].text, QStringLiteral("b"));
    EXPECT_EQ(ebm7[1].x, 5);
    EXPECT_EQ(ebm7[1].y, -1);
    EXPECT_EQ(ebm7[2].x, 23);
    EXPECT_EQ(ebm7[3].x, 33);
    EXPECT_EQ(ebm7[3].y, 7);
    EXPECT_EQ(ebm7[3].pointSize, 8);

    // #Ⅳ7 at (0, 0): x = 5 + 2 - 3 = 4; numeral at 7; sharp at (4, 1);
    // s = 4 + 23 - 2 = 25, "7" at s + 5.
    auto iv7 = ChordLabelGlyphs(0, 0, 26, 0, false);
    ASSERT_EQ(iv7.size(), 3u);
    EXPECT_EQ(iv7[0].x, 7);
    EXPECT_EQ(iv7[1].x, 4);
    EXPECT_EQ(iv7[1].y, 1);
    EXPECT_EQ(iv7[2].x, 30);

    // A flat on Ⅱ sits over the numeral, lower than a sharp.
    auto bii = ChordLabelGlyphs(0, 0, 4, 0, false);
    ASSERT_EQ(bii.size(), 2u);
    EXPECT_EQ(bii[1].x, 7 + 3);
    EXPECT_EQ(bii[1].y, 2);
}

} // namespace
} // namespace melodrift
