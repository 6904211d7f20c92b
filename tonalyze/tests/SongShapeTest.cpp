// Sectioning and chord search on hand-made bars, where each rule can be
// switched on and off directly.
#include <gtest/gtest.h>

#include "ChordSearch.h"
#include "Sectioner.h"
#include "SongShape.h"

namespace tonalyze::test {
namespace {

CandidateList list(std::initializer_list<Candidate> c)
{
    CandidateList out;
    std::copy(c.begin(), c.end(), out.begin());
    return out;
}

CandidateList list(const std::vector<std::pair<int, int>>& c)
{
    CandidateList out;
    for (size_t i = 0; i < c.size() && i < out.size(); ++i)
        out[i] = {c[i].first, c[i].second};
    return out;
}

// Bars that sound nothing alike: bar x holds only degree x mod 7.
std::vector<BarRecord> distinctBars(int n)
{
    std::vector<BarRecord> bars(static_cast<size_t>(n));
    for (int x = 0; x < n; ++x) {
        bars[x].degreeTime[x % 7] = 768;
        bars[x].first = list({{kIV, 100}, {kII, 90}});
        bars[x].second = list({{kIV, 100}, {kII, 90}});
    }
    return bars;
}

// ---- Similarity -----------------------------------------------------------

struct SimilarCase {
    const char* name;
    std::vector<int64_t> differences;  // extra ticks of do in the second stretch, bar by bar
    bool similar;
};

class Similarity : public ::testing::TestWithParam<SimilarCase> {};

TEST_P(Similarity, ComparesDegreeTimesBarByBar)
{
    const auto& diffs = GetParam().differences;
    const int n = static_cast<int>(diffs.size());
    std::vector<BarRecord> bars(static_cast<size_t>(2 * n));
    for (int i = 0; i < n; ++i) {
        bars[i].degreeTime[kSol] = 384;
        bars[n + i].degreeTime[kSol] = 384;
        // Moving time from sol to do changes nothing in total: d = 2 * moved.
        bars[n + i].degreeTime[kSol] -= diffs[i] / 2;
        bars[n + i].degreeTime[kDo] += diffs[i] / 2;
    }
    const Metre metre(0, 192);
    const SongShape song(bars, metre, 0);
    EXPECT_EQ(song.similar(0, n, n), GetParam().similar);
}

INSTANTIATE_TEST_SUITE_P(Stretches, Similarity,
                         ::testing::Values(SimilarCase{"Identical", {0, 0, 0, 0, 0}, true},
                                           SimilarCase{"FirstBarTooFar", {192, 0}, false},
                                           SimilarCase{"FirstBarJustClose", {190, 0}, true},
                                           SimilarCase{"LaterBarUnderHalf", {0, 380}, true},
                                           SimilarCase{"LaterBarHalf", {0, 384}, false},
                                           SimilarCase{"DriftAddsUp", {0, 300, 300, 300, 300}, false},
                                           SimilarCase{"CloseBarsPayForDrift", {0, 0, 300, 0, 300}, true}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(Similarity, StretchesRunningOffTheSongDoNotMatch)
{
    const std::vector<BarRecord> bars(6);
    const Metre metre(0, 192);
    const SongShape song(bars, metre, 0);
    EXPECT_TRUE(song.similar(0, 1, 5));
    EXPECT_FALSE(song.similar(0, 2, 5));
    EXPECT_FALSE(song.similar(-1, 0, 2));
}

// ---- Cadence split ------------------------------------------------------

// A stretch from bar 1 (after bar 0 of a song without pickup) that does not
// open on a tonic, with cadence material around bars 4 and 8.
struct CadenceBars {
    std::vector<BarRecord> bars = distinctBars(24);
    static constexpr int s = 1;

    CadenceBars& earlyCadence()  // bar s+3 rests on I, bar s+4 opens on I
    {
        bars[s + 3].second = list({{kI, 100}});
        bars[s + 4].first = list({{kI, 100}});
        return *this;
    }
    CadenceBars& earlyRingsOn()  // the long do of bar s+4 extends bar s+3
    {
        bars[s + 4].longNote = kDo;
        bars[s + 4].longOnset = 0;
        return *this;
    }
    CadenceBars& lateCadence()  // bar s+7 rests on I, bar s+8 opens firmly on I
    {
        bars[s + 7].second = list({{kI, 100}});
        bars[s + 8].first = list({{kI, 100}});
        return *this;
    }
    CadenceBars& longNotes(bool at3, bool at7)
    {
        if (at3) {
            bars[s + 3].longNote = kSol;
            bars[s + 3].longOnset = 0;
        }
        if (at7) {
            bars[s + 7].longNote = kMi;
            bars[s + 7].longOnset = 0;
        }
        return *this;
    }
    int split(int mode = 5) const
    {
        const Metre metre(0, 192);
        const SongShape song(bars, metre, 0);
        return Sectioner(song, mode).cadenceSplit(s, s + 15);
    }
};

TEST(CadenceSplit, BothCadencesWithLongNotesChooseTheEightBarPhrase)
{
    // Early cadence ringing on, late cadence firm, long notes at both: the
    // rules leave this open; the eight-bar phrase is kept.
    const CadenceBars c = CadenceBars().earlyCadence().earlyRingsOn().lateCadence().longNotes(true, true);
    EXPECT_EQ(c.split(), CadenceBars::s + 7);
}

TEST(CadenceSplit, EarlyCadenceWinsWhenTheLateOneIsWeak)
{
    // No tonic after bar s+7: the four-bar phrase ends where bar s+3 rings on.
    const CadenceBars c = CadenceBars().earlyCadence().earlyRingsOn().longNotes(true, true);
    EXPECT_EQ(c.split(), CadenceBars::s + 4);
}

TEST(CadenceSplit, WithoutAnEarlyCadenceTheEighthBarCloses)
{
    EXPECT_EQ(CadenceBars().lateCadence().longNotes(false, true).split(), CadenceBars::s + 7);
}

TEST(CadenceSplit, RepetitionAfterFourBarsSplitsBeforeIt)
{
    CadenceBars c;
    c.bars[c.s + 8] = c.bars[c.s + 4];
    c.bars[c.s + 9] = c.bars[c.s + 5];
    EXPECT_EQ(c.split(), CadenceBars::s + 3);
}

TEST(CadenceSplit, OnATonicStartALongNoteAtBarEightCloses)
{
    CadenceBars c = CadenceBars().longNotes(false, true);
    c.bars[c.s].first = list({{kI, 100}});
    c.bars[c.s + 7].second = list({{kV, 100}});
    EXPECT_EQ(c.split(), CadenceBars::s + 7);
    // The same bar tied on into the next: the split moves with it.
    c.bars[c.s + 8].longNote = kMi;
    c.bars[c.s + 8].longOnset = -1;
    EXPECT_EQ(c.split(), CadenceBars::s + 8);
}

// ---- Chord search -------------------------------------------------------

struct SearchCase {
    const char* name;
    int64_t doTicksInLastBar;
    std::vector<std::pair<int, int>> lastBar;  // candidates: function, percent
    std::vector<int> chords;
};

class PhraseSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(PhraseSearch, CadenceFollowsTheLastBar)
{
    std::vector<BarRecord> bars(4);
    bars[0].first = list({{kI, 100}});
    bars[1].first = list({{kIV, 100}, {kII, 90}});
    bars[2].first = list({{kV, 100}, {kIII, 90}});
    bars[3].first = list(GetParam().lastBar);
    bars[3].degreeTime[kDo] = GetParam().doTicksInLastBar;
    const Metre metre(1, 192);
    const SongShape song(bars, metre, 0);
    EXPECT_EQ(ChordSearch(song).solve(0, 3, 4), GetParam().chords);
}

INSTANTIATE_TEST_SUITE_P(
    LastBar, PhraseSearch,
    ::testing::Values(
        // do held for three beats: the authentic cadence V - I.
        SearchCase{"HeldTonicClosesOnI", 576, {{kI, 100}, {kVI, 100}}, {kI, kIV, kV, kI}},
        // do only touched and vi fitting no better: a major phrase still
        // closes on its tonic.
        SearchCase{"PassingTonicStillClosesOnI", 96, {{kI, 100}, {kVI, 100}}, {kI, kIV, kV, kI}},
        // The melody settles on la: V - vi, the deceptive cadence.
        SearchCase{"LaInTheLastBarGivesDeceptiveCadence", 96, {{kVI, 100}, {kI, 70}}, {kI, kIV, kV, kVI}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(PhraseSearch, TiedLastBarRepeatsTheChordBeforeIt)
{
    std::vector<BarRecord> bars(4);
    for (auto& b : bars) {
        b.first = list({{kI, 100}, {kIV, 90}, {kV, 80}});
        b.second = list({{kV, 100}, {kIV, 90}});
    }
    bars[2].longNote = kRe;
    bars[2].longOnset = 0;
    bars[3].longNote = kRe;
    bars[3].longOnset = -1;
    const Metre metre(0, 192);
    const SongShape song(bars, metre, 0);
    const std::vector<int> chords = ChordSearch(song).solve(0, 3, 4);
    ASSERT_EQ(chords.size(), 8u);
    EXPECT_EQ(chords[6], chords[5]);
    EXPECT_EQ(chords[7], chords[5]);
    // The tied re belongs to V: the phrase closes on it.
    EXPECT_EQ(chords[5], kV);
}

TEST(PhraseSearch, SlotsWithoutCandidatesFallBackToTheTonic)
{
    std::vector<BarRecord> bars(2);
    const Metre metre(2, 192);
    const SongShape song(bars, metre, 0);
    EXPECT_EQ(ChordSearch(song).solve(0, 1, -3), (std::vector<int>{kVI, kVI}));
}

}  // namespace
}  // namespace tonalyze::test

namespace tonalyze::test {
namespace {

TEST(Sections, ARepeatingSongIsCutIntoItsRepeats)
{
    // Every bar sounds alike and may end a section: the opening "repeats"
    // after six bars, and again six bars later.
    std::vector<BarRecord> bars(30);
    for (auto& b : bars)
        b.degreeTime[kMi] = 768;
    const Metre metre(0, 192);
    const SongShape song(bars, metre, 0);
    EXPECT_EQ(Sectioner(song, 0).run(), (std::vector<int>{5, 11, 17, 21, 29}));
}

TEST(Sections, NoSectionIsTwelveBarsOrLonger)
{
    for (int n : {1, 11, 12, 13, 40, 97}) {
        const std::vector<BarRecord> bars = distinctBars(n);
        const Metre metre(1, 192);
        const SongShape song(bars, metre, 0);
        const std::vector<int> ends = Sectioner(song, 2).run();
        ASSERT_FALSE(ends.empty());
        EXPECT_EQ(ends.back(), n - 1);
        int start = 0;
        for (int end : ends) {
            EXPECT_GE(end, start);
            EXPECT_LT(end - start + 1, 12) << n << " bars";
            start = end + 1;
        }
    }
}

}  // namespace
}  // namespace tonalyze::test
