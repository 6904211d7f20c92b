#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HarmonyCalls.h"
#include "Songs.h"

namespace tonalyze::test {
namespace {

constexpr int kCMajor = 0, kGMajor = 28, kAMinor = 37;

// ---- Songs a musician can check ------------------------------------------

struct SongCase {
    const char* name;
    std::string melody;
    int ts;
    int transpose;
    int key;
    int bars;
    std::vector<int> lastBars;
    std::vector<int> fills;
    int firstChord;
    int lastChord;
};

class SongHarmony : public Harmony, public ::testing::WithParamInterface<SongCase> {};

TEST_P(SongHarmony, SectionsFillsAndCadences)
{
    const SongCase& c = GetParam();
    const Result r = analyse(parseMelody(c.melody).transposed(c.transpose), c.ts, c.key);
    EXPECT_EQ(r.bars, c.bars);
    EXPECT_EQ(lastBars(r), c.lastBars);
    EXPECT_EQ(fillBars(r), c.fills);
    EXPECT_EQ(barsCovered(r), c.bars);
    ASSERT_FALSE(r.chords.empty());
    EXPECT_EQ(r.chords.front().code, c.firstChord);
    EXPECT_EQ(r.chords.back().code, c.lastChord);
    EXPECT_EQ(r.chords.back().wholeBar, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Songs, SongHarmony,
    ::testing::Values(
        SongCase{"EightBarsStayOneSection", songs::kEightBars, 0, 0, 0, 8, {7}, {}, kCMajor, kCMajor},
        SongCase{"RepeatedOpeningSplitsThere", songs::kRepeatedOpening, 0, 0, 0, 16, {7, 15}, {7}, kCMajor, kCMajor},
        SongCase{"AMinorTuneEndsOnAMinor", songs::kAMinor, 0, 0, 0, 7, {6}, {}, kAMinor, kAMinor},
        SongCase{"WaltzInG", songs::kWaltzInG, 1, 0, 7, 8, {7}, {}, kGMajor, kGMajor},
        SongCase{"TransposedUpAFifth", songs::kEightBars, 0, 7, 7, 8, {7}, {}, kGMajor, kGMajor},
        // Nothing repeats: the first phrase closes on the long sol of bar 7.
        SongCase{"ThroughComposedSplitsAtCadence", songs::kThroughComposed, 0, 0, 0, 16, {7, 15}, {7}, kCMajor,
                 kCMajor},
        // A rest of three beats before the first note: bar 0 is a section
        // of its own and takes the chord the song starts on.
        SongCase{"PickupBar", "r:3 G3:1 " + songs::kRepeatedOpening, 0, 0, 0, 17, {0, 8, 16}, {8}, kCMajor,
                 kCMajor}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(Harmony, PatternsCycleAndEverySectionButTheLastGetsAFill)
{
    const Result r = analyse(songs::kRepeatedOpening + songs::kRepeatedOpening + songs::kRepeatedOpening, 0, 0);
    EXPECT_EQ(lastBars(r), (std::vector<int>{7, 15, 23, 31, 39, 47}));
    EXPECT_EQ(patterns(r), (std::vector<int>{0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(fillBars(r), (std::vector<int>{7, 15, 23, 31, 39}));
}

TEST_F(Harmony, PickupSectionHasPatternZeroAndTheNextStartAgain)
{
    const Result r = analyse("r:3 G3:1 " + songs::kRepeatedOpening, 0, 0);
    EXPECT_EQ(patterns(r), (std::vector<int>{0, 0, 1}));
}

TEST_F(Harmony, OneChordPerBarOutside44)
{
    for (int ts : {1, 2, 3}) {
        const Result r = analyse(songs::kWaltzInG, ts, 7);
        EXPECT_EQ(static_cast<int>(r.chords.size()), r.bars) << "metre " << ts;
        for (const MA_Chord& c : r.chords)
            EXPECT_EQ(c.wholeBar, 1);
    }
    const Result four = analyse(songs::kRepeatedOpening, 0, 0);
    EXPECT_GT(static_cast<int>(four.chords.size()), four.bars);
}

TEST_F(Harmony, ChordsAreDiatonicTriadsOfTheKey)
{
    const Result r = analyse(parseMelody(songs::kThroughComposed).transposed(3), 0, 3);
    // E flat major: Eb, Fm, Gm, Ab, Bb, Cm (and G for the turn to III).
    const std::vector<int> allowed = {4 * 3, 4 * 5 + 1, 4 * 7 + 1, 4 * 8, 4 * 10, 4 * 0 + 1, 4 * 7};
    for (const MA_Chord& c : r.chords)
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), c.code), allowed.end()) << c.code;
}

TEST_F(Harmony, ITurningToIiiAtASectionEndIsPlayedAsIII)
{
    // Last bar: a short do, then mi and a long ti. I then iii, at the song's
    // end, is given as C then E major.
    const Result r = analyse("C4:1 E4:1 G4:1 E4:1 F4:1 A4:1 G4:2 C4:1.5 G4:0.5 E4:0.5 B4:1.5", 0, 0);
    ASSERT_GE(r.chords.size(), 2u);
    const MA_Chord& first = r.chords[r.chords.size() - 2];
    const MA_Chord& second = r.chords.back();
    EXPECT_EQ(first.code, kCMajor);
    EXPECT_EQ(first.wholeBar, 0);
    EXPECT_EQ(second.code, 4 * 4);
    EXPECT_EQ(second.wholeBar, 0);
}

TEST_F(Harmony, UnknownKeyIsDecidedFromTheMelody)
{
    const Result decided = analyse(songs::kWaltzInG, 1, -1);
    const Result given = analyse(songs::kWaltzInG, 1, 7);
    EXPECT_EQ(lastBars(decided), lastBars(given));
    ASSERT_EQ(decided.chords.size(), given.chords.size());
    for (size_t i = 0; i < given.chords.size(); ++i)
        EXPECT_EQ(decided.chords[i].code, given.chords[i].code);
}

}  // namespace
}  // namespace tonalyze::test
