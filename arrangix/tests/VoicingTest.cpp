#include "Voicing.h"

#include <gtest/gtest.h>

using namespace melodrift::arrangix;

TEST(Voicing, FitsPitchesToChordsTable)
{
    struct Case {
        const char* what;
        int pitch, root;
        std::optional<int> type;
        uint8_t program;
        int expected;
    };
    Case cases[] = {
        {"minor third under A minor", 63, 9, kMinor, 0, 64},
        {"major third under D", 64, 2, kMajor, 0, 66},
        {"root under D", 60, 2, kMajor, 0, 62},
        {"seventh under G7", 70, 7, kDominant7, 0, 71},
        {"root 0 leaves chord tones", 64, 0, kMajor, 0, 64},
        {"non chord tone moves by root", 62, 2, kMajor, 0, 64},
        {"non chord tone moves down past 5", 62, 7, kMajor, 0, 57},
        {"piano low register folds into 0..50", 48, 7, kMajor, 0, 43},
        {"piano low register folds down", 50, 2, kMajor, 0, 40},
        {"bass C2 under G", 36, 7, kMajor, 33, 31},
        {"bass folds up into 28..50", 30, 9, kMinor, 33, 39},
        {"bass above range folds down", 50, 2, kMajor, 33, 40},
        {"guitar low register 40..52", 48, 7, kMajor, 25, 43},
        {"guitar chord tone above 52", 63, 9, kMinor, 25, 64},
        {"strings always chord-tested", 40, 5, kMajor, 48, 41},
        {"strings non chord tone unrestricted", 38, 5, kMajor, 48, 43},
        {"other programs: any register", 20, 11, kMajor, 60, 19},
        {"no program", 100, 3, kMajor, 0xFF, 103},
        {"no chord type: root only", 64, 9, std::nullopt, 0, 61},
        {"no chord type with fold", 36, 4, std::nullopt, 33, 40},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitPitch(c.pitch, c.root, c.type, c.program), c.expected) << c.what;
}

TEST(Voicing, RolesByType)
{
    // pitch class -> role for major, minor, dominant 7, minor 7
    struct Case {
        int pc;
        int roles[4];
    } cases[] = {
        {0, {0, 0, 0, 0}}, {3, {-1, 1, -1, 1}}, {4, {1, -1, 1, -1}}, {7, {2, 2, 2, 2}},
        {10, {-1, -1, 3, 3}}, {2, {-1, -1, -1, -1}}, {11, {-1, -1, -1, -1}},
    };
    for (const Case& c : cases)
        for (int type = 0; type < 4; ++type)
            EXPECT_EQ(chordRole(c.pc, type), c.roles[type]) << c.pc << " " << type;
}

TEST(Voicing, ConvertsBetweenChordTypesTable)
{
    struct Case {
        int pitch, from, to, expected;
    } cases[] = {
        {64, kMajor, kMinor, 63},  {69, kMajor, kMinor, 68},   {71, kMajor, kMinor, 70},  {67, kMajor, kMinor, 67},
        {63, kMinor, kMajor, 64},  {68, kMinor, kMajor, 69},   {70, kMinor, kMajor, 71},  {70, kMinor, kDominant7, 70},
        {67, kMajor, kDominant7, 70}, {67, kMinor, kMinor7, 70}, {64, kMajor, kMinor7, 63}, {67, kMajor, kMinor7, 70},
        {70, kDominant7, kMajor, 67}, {70, kMinor7, kMinor, 67}, {70, kMinor7, kMajor, 67}, {63, kMinor7, kMajor, 64},
        {60, kMajor, kMinor7, 60}, {64, kDominant7, kDominant7, 64},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convertType(c.pitch, c.from, c.to), c.expected) << c.pitch << " " << c.from << "->" << c.to;
}
