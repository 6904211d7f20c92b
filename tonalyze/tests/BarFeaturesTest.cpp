#include <gtest/gtest.h>

#include "BarFeatures.h"
#include "ChordCandidates.h"
#include "MelodyText.h"

namespace tonalyze::test {
namespace {

// ---- Candidate ranking ---------------------------------------------------

struct RankCase {
    const char* name;
    std::vector<std::pair<int, int64_t>> weights;  // degree, weight
    std::vector<std::pair<int, int>> expected;     // function, percent; the rest stays empty
};

class CandidateRanking : public ::testing::TestWithParam<RankCase> {};

TEST_P(CandidateRanking, RanksTriadsAgainstTheBar)
{
    DegreeProfile w{};
    for (auto [d, v] : GetParam().weights)
        w[d] = v;
    const CandidateList got = rankCandidates(w);
    const auto& want = GetParam().expected;
    for (size_t i = 0; i < 6; ++i) {
        const Candidate expect = i < want.size() ? Candidate{want[i].first, want[i].second} : Candidate{};
        EXPECT_EQ(got[i].function, expect.function) << "entry " << i;
        EXPECT_EQ(got[i].percent, expect.percent) << "entry " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, CandidateRanking,
    ::testing::Values(
        // I 147, vi 107, iii 98, IV 59, V 50; ii 10 is under a quarter of the best.
        RankCase{"CMajorTriad", {{0, 1}, {4, 1}, {7, 1}}, {{kI, 100}, {kVI, 72}, {kIII, 66}, {kIV, 40}, {kV, 34}}},
        // vi 147, IV 107, I 98, ii 59, iii 50; V nothing.
        RankCase{"AMinorTriad", {{9, 1}, {0, 1}, {4, 1}}, {{kVI, 100}, {kIV, 72}, {kI, 66}, {kII, 40}, {kIII, 34}}},
        // "G G A A" in G: do on the strong beats, re after. I, not ii.
        RankCase{"DoThenRe", {{0, 2400}, {2, 1600}}, {{kI, 100}, {kIV, 86}, {kVI, 84}, {kII, 76}, {kV, 57}}},
        // E G# B in C: sol sharp is the third of the chord on mi.
        RankCase{"RaisedSolIsTheThirdOnMi", {{4, 1}, {8, 1}, {11, 1}}, {{kIII, 100}, {kVI, 33}, {kI, 32}, {kV, 32}}},
        RankCase{"SolAlone", {{7, 100}}, {{kV, 100}, {kI, 98}, {kIII, 96}}},
        RankCase{"Silence", {}, {{kI, 80}, {kVI, 80}, {kIV, 80}, {kV, 80}, {kII, 80}, {kIII, 80}}},
        // sol + la: vi 60, V 50, I 49 = ii 49, IV 48 = iii 48; ties keep table order.
        RankCase{"TiesKeepTableOrder", {{7, 1}, {9, 1}}, {{kVI, 100}, {kV, 83}, {kI, 81}, {kII, 81}, {kIV, 80}, {kIII, 80}}}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace tonalyze::test

namespace tonalyze::test {
namespace {

BarFeatures features(const char* text, int ts = 0, int key = 0)
{
    const Melody m = parseMelody(text);
    const Metre metre(ts, kTicksPerBeat);
    const int64_t bars = (m.span().totalTicks() + metre.ticksPerBar() - 1) / metre.ticksPerBar();
    const int pickup = (m.notes[0] == kRest && 2 * int64_t{m.lengths[0]} > metre.ticksPerBar()) ? 1 : 0;
    return BarFeatureBuilder(metre, key, static_cast<int>(bars), pickup).build(m.span());
}

// Eight sixteenths a half bar keep the long-note threshold at 1.5 beats.
const std::string kRun = "C4:0.25 D4:0.25 E4:0.25 F4:0.25 C4:0.25 D4:0.25 E4:0.25 F4:0.25 ";
const std::string kBusyBar = kRun + kRun;

TEST(BarFeatures, FindsLongNotesAndNotesTiedOverTheBarLine)
{
    // bar 0: run, G half note; bar 1: busy; bar 2: run, A held into bar 3 for
    // two beats; bar 3: run.
    const std::string text = kRun + "G4:2 " + kBusyBar + kRun + "A4:4 " + kRun;
    const BarFeatures f = features(text.c_str());
    ASSERT_EQ(f.bars.size(), 4u);
    EXPECT_EQ(f.bars[0].longNote, kSol);
    EXPECT_EQ(f.bars[0].longOnset, 384);
    EXPECT_EQ(f.bars[0].longLength, 384);
    EXPECT_EQ(f.bars[1].longNote, -1);
    EXPECT_EQ(f.bars[2].longNote, kLa);
    EXPECT_EQ(f.bars[2].longOnset, 384);
    EXPECT_EQ(f.bars[2].longLength, 768);
    EXPECT_TRUE(f.bars[3].longNoteTiedIn());
    EXPECT_EQ(f.bars[3].longLength, 384);
    // do re mi fa twice as sixteenths, then two beats of sol.
    const std::array<int64_t, 7> bar0 = {96, 96, 96, 96, 384, 0, 0};
    EXPECT_EQ(f.bars[0].degreeTime, bar0);
}

struct TieCase {
    const char* name;
    std::string melody;
    int nextBarLongNote;
    int64_t nextBarOnset;
};

class LongNoteOverBarLine : public ::testing::TestWithParam<TieCase> {};

TEST_P(LongNoteOverBarLine, ReachesIntoTheNextBarOnlyByHalfABarOrMore)
{
    const BarFeatures f = features(GetParam().melody.c_str());
    ASSERT_GE(f.bars.size(), 3u);
    EXPECT_EQ(f.bars[1].longNote, GetParam().nextBarLongNote);
    EXPECT_EQ(f.bars[1].longOnset, GetParam().nextBarOnset);
}

INSTANTIATE_TEST_SUITE_P(
    Ties, LongNoteOverBarLine,
    ::testing::Values(
        // A rest reaching one beat past the bar line stays a rest.
        TieCase{"ShortRestOverLineStaysRest", kRun + "C4:1 r:2 " + kRun + kBusyBar, -1, -1},
        // Reaching half a bar past it, the note rings on into bar 1.
        TieCase{"HalfBarOverLineRingsOn", kRun + "C4:1 r:3 " + kRun + kBusyBar, kDo, -1},
        // Starting on the last beat, the note counts as beginning bar 1.
        TieCase{"FromLastBeatStartsNextBar", kRun + "E4:0.5 F4:0.5 D4:3 " + kRun + kBusyBar, kRe, 0},
        // fa is never a long note.
        TieCase{"FaIsNoLongNote", kRun + "F4:4 " + kRun + kBusyBar, -1, -1}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(BarFeatures, AnEmptyBarOffersEverything)
{
    const BarFeatures f = features(("r:4 " + kBusyBar).c_str());
    for (const CandidateList* list : {&f.bars[0].first, &f.bars[0].second})
        for (const Candidate& c : *list)
            EXPECT_EQ(c.percent, 80);
    EXPECT_EQ(f.bars[1].first[0].function, kI);
}

TEST(BarFeatures, HalvesIn44WholeBarsOtherwise)
{
    // 4/4: C E G then F A C: I in the first half, IV in the second.
    const BarFeatures four = features("C4:0.5 E4:0.5 G4:1 F4:0.5 A4:0.5 C5:1");
    EXPECT_EQ(four.bars[0].first[0].function, kI);
    EXPECT_EQ(four.bars[0].second[0].function, kIV);
    // 3/4: one list per bar, the second stays empty.
    const BarFeatures three = features("A4:1 C5:1 E5:1 G4:1 B4:1 D5:1", 1);
    EXPECT_EQ(three.bars[0].first[0].function, kVI);
    EXPECT_EQ(three.bars[1].first[0].function, kV);
    EXPECT_EQ(three.bars[0].second[0].function, kNone);
}

TEST(BarFeatures, DegreesFollowTheKey)
{
    // The same notes in G: G B D is I, C E G is IV.
    const BarFeatures f = features("G4:1 B4:1 D5:2 C5:1 E5:1 G5:2", 0, 7);
    EXPECT_EQ(f.bars[0].first[0].function, kI);
    EXPECT_EQ(f.bars[1].first[0].function, kIV);
}

TEST(BarFeatures, AnUnfinishedLastBarStillGetsCandidates)
{
    const BarFeatures f = features("C4:1 E4:1 G4:2 G4:1 B4:0.5 D5:0.5");
    ASSERT_EQ(f.bars.size(), 2u);
    EXPECT_EQ(f.bars[1].first[0].function, kV);
    EXPECT_NE(f.bars[1].second[0].function, kNone);
}

TEST(BarFeatures, TonicAndRelativeSumsWeighDoAgainstLa)
{
    const BarFeatures major = features("C4:2 E4:1 G4:1 C4:4");
    const BarFeatures minor = features("A4:2 C5:1 E5:1 A4:4");
    EXPECT_GT(major.tonicSum, major.relativeSum);
    EXPECT_LT(minor.tonicSum, minor.relativeSum);
}

}  // namespace
}  // namespace tonalyze::test
