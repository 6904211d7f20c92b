// The in/out count protocol, the stored analysis and bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HarmonyCalls.h"
#include "LogLines.h"
#include "MelodriftPlatform.h"
#include "Songs.h"

namespace tonalyze::test {
namespace {

constexpr MA_Section kSectionSentinel{-77, -77};
constexpr MA_Chord kChordSentinel{-77, -77};
constexpr MA_Fill kFillSentinel{-77, -77};

// Caller arrays pre-filled with sentinels so that stray writes show.
struct Arrays {
    std::vector<MA_Section> sections = std::vector<MA_Section>(64, kSectionSentinel);
    std::vector<MA_Chord> chords = std::vector<MA_Chord>(128, kChordSentinel);
    std::vector<MA_Fill> fills = std::vector<MA_Fill>(64, kFillSentinel);
    int32_t ns = 0, nc = 0, nf = 0;

    int call(int key) { return MA_MelodyAnalysis(key, &ns, sections.data(), &nc, chords.data(), &nf, fills.data()); }
    bool untouched() const
    {
        auto s = [](const MA_Section& x) { return x.lastBar == -77 && x.pattern == -77; };
        auto c = [](const MA_Chord& x) { return x.code == -77 && x.wholeBar == -77; };
        auto f = [](const MA_Fill& x) { return x.bar == -77 && x.flag == -77; };
        return std::all_of(sections.begin(), sections.end(), s) && std::all_of(chords.begin(), chords.end(), c) &&
               std::all_of(fills.begin(), fills.end(), f);
    }
    std::vector<int> ends() const
    {
        std::vector<int> out;
        for (int i = 0; i < ns; ++i)
            out.push_back(sections[static_cast<size_t>(i)].lastBar);
        return out;
    }
    std::vector<int> codes() const
    {
        std::vector<int> out;
        for (int i = 0; i < nc; ++i)
            out.push_back(chords[static_cast<size_t>(i)].code);
        return out;
    }
};

int32_t input(const Melody& m, int ts = 0)
{
    int32_t bars = -1;
    EXPECT_EQ(MA_InputMelody(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, ts, 100, &bars), 0);
    return bars;
}

using LogCapture = melodrift::testsupport::LogLines;

TEST_F(Harmony, NothingToAnalyseWithoutAMelody)
{
    Arrays a;
    EXPECT_EQ(a.call(0), -1);
    input(parseMelody(songs::kEightBars));
    EXPECT_EQ(a.call(0), 0);
    EXPECT_EQ(MA_Release(), 0);
    Arrays b;
    EXPECT_EQ(b.call(0), -1);
    EXPECT_TRUE(b.untouched());
}

TEST_F(Harmony, TheSameMelodyKeepsItsAnalysisAChangedOneIsRedone)
{
    Melody m = parseMelody(songs::kRepeatedOpening);
    LogCapture log;
    EXPECT_EQ(input(m), 16);
    Arrays first;
    first.call(0);
    EXPECT_TRUE(log.Contains("长音基准：tkLong = "));
    log.Clear();
    EXPECT_EQ(input(m), 16);
    Arrays again;
    again.call(0);
    EXPECT_FALSE(log.Contains("长音基准"));
    EXPECT_EQ(again.codes(), first.codes());
    m.lengths.back() = static_cast<uint16_t>(m.lengths.back() + 192 * 4);
    EXPECT_EQ(input(m), 17);
    Arrays changed;
    changed.call(0);
    EXPECT_TRUE(log.Contains("长音基准"));
}

TEST_F(Harmony, WritesTheLogLinesOfEachStage)
{
    LogCapture log;
    input(parseMelody(songs::kThroughComposed));
    Arrays a;
    a.call(0);
    for (const char* text : {"\n全曲调性： major\n", "\n///////////////////// 主属和弦分段结果 ///////////////////\n7\t15\t\n",
                             "\n///////////////////// 最终分段结果 ///////////////////\n7\t15\t\n",
                             "\n///////////////////// 第 1 段分句和弦 ///////////////////\n"})
        EXPECT_TRUE(log.Contains(text)) << text;
    for (const std::string& line : log.Lines())
        EXPECT_EQ(line.rfind("[", 0), 0u) << line;
    log.Clear();
    input(parseMelody(songs::kRepeatedOpening));
    a.call(0);
    EXPECT_TRUE(log.Contains("\n///////////////////// 小节反复分段结果 ///////////////////\n7\t15\t\n"));
    log.Clear();
    input(parseMelody(songs::kAMinor));
    a.call(0);
    EXPECT_TRUE(log.Contains("\n全曲调性： minor\n"));
}

TEST_F(Harmony, ANewKeyIsAnalysedAgainAndTheOldOneComesBack)
{
    input(parseMelody(songs::kEightBars));
    Arrays inC, inG, backInC;
    inC.call(0);
    inG.call(7);
    backInC.call(0);
    EXPECT_NE(inC.codes(), inG.codes());
    EXPECT_EQ(inC.codes(), backInC.codes());
}

TEST_F(Harmony, CallerSectionsAreAdoptedAndChordsRedone)
{
    input(parseMelody(songs::kRepeatedOpening));
    Arrays computed;
    computed.call(0);
    ASSERT_EQ(computed.ends(), (std::vector<int>{7, 15}));

    Arrays imposed;
    imposed.sections[0] = {3, 0};
    imposed.sections[1] = {7, 1};
    imposed.sections[2] = {11, 2};
    imposed.sections[3] = {15, 3};
    imposed.ns = 4;
    EXPECT_EQ(imposed.call(0), 0);
    EXPECT_EQ(imposed.ns, 4);  // given, so not written back
    EXPECT_EQ(imposed.sections[4].lastBar, -77);
    EXPECT_GT(imposed.nc, 0);
    std::vector<int> fills;
    for (int i = 0; i < imposed.nf; ++i)
        fills.push_back(imposed.fills[static_cast<size_t>(i)].bar);
    EXPECT_EQ(fills, (std::vector<int>{3, 7, 11}));

    Arrays later;
    later.call(0);
    EXPECT_EQ(later.ends(), (std::vector<int>{3, 7, 11, 15}));
    EXPECT_EQ(later.sections[3].pattern, 3);
}

struct BadSections {
    const char* name;
    std::vector<int> ends;
};

class IgnoredSections : public Harmony, public ::testing::WithParamInterface<BadSections> {};

TEST_P(IgnoredSections, KeepTheComputedOnes)
{
    input(parseMelody(songs::kRepeatedOpening));
    Arrays computed;
    computed.call(0);
    Arrays bad;
    bad.ns = static_cast<int32_t>(GetParam().ends.size());
    for (size_t i = 0; i < GetParam().ends.size(); ++i)
        bad.sections[i] = {GetParam().ends[i], 0};
    EXPECT_EQ(bad.call(0), 0);
    Arrays after;
    after.call(0);
    EXPECT_EQ(after.ends(), computed.ends());
    EXPECT_EQ(after.codes(), computed.codes());
}

INSTANTIATE_TEST_SUITE_P(Sections, IgnoredSections,
                         ::testing::Values(BadSections{"NotAscending", {7, 3, 15}},
                                           BadSections{"PastTheSong", {7, 40}},
                                           BadSections{"Negative", {-1, 15}},
                                           BadSections{"StopsShort", {3, 7}},
                                           BadSections{"MoreThanBars", std::vector<int>(20, 15)}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(Harmony, CallerSectionsWithANewKeyAreIgnored)
{
    input(parseMelody(songs::kRepeatedOpening));
    Arrays computed;
    computed.call(0);
    Arrays imposed;
    imposed.sections[0] = {3, 0};
    imposed.sections[1] = {15, 1};
    imposed.ns = 2;
    imposed.call(5);
    Arrays after;
    after.call(5);
    EXPECT_NE(after.ends(), (std::vector<int>{3, 15}));
}

TEST_F(Harmony, NonZeroCountsLeaveTheirArraysAlone)
{
    input(parseMelody(songs::kRepeatedOpening));
    Arrays a;
    a.nc = 9;
    a.nf = 2;
    EXPECT_EQ(a.call(0), 0);
    EXPECT_EQ(a.nc, 9);
    EXPECT_EQ(a.nf, 2);
    EXPECT_EQ(a.chords[0].code, -77);
    EXPECT_EQ(a.fills[0].bar, -77);
    EXPECT_EQ(a.ns, 2);
}

TEST_F(Harmony, NegativeCountsAreCapacities)
{
    input(parseMelody(songs::kRepeatedOpening));
    Arrays tooSmall;
    tooSmall.nc = -3;
    EXPECT_EQ(tooSmall.call(0), -1);
    EXPECT_TRUE(tooSmall.untouched());
    EXPECT_EQ(tooSmall.nc, -3);
    EXPECT_EQ(tooSmall.ns, 0);

    Arrays enough;
    enough.nc = -32;
    enough.ns = -2;
    enough.nf = -1;
    EXPECT_EQ(enough.call(0), 0);
    EXPECT_EQ(enough.ns, 2);
    EXPECT_EQ(enough.nf, 1);
    EXPECT_GT(enough.nc, 16);
    EXPECT_EQ(enough.chords[static_cast<size_t>(enough.nc)].code, -77);
}

TEST_F(Harmony, MissingArraysAndCounts)
{
    input(parseMelody(songs::kEightBars));
    int32_t ns = 0, nc = 0, nf = 0;
    MA_Chord chords[16];
    EXPECT_EQ(MA_MelodyAnalysis(0, &ns, nullptr, &nc, chords, &nf, nullptr), -1);
    EXPECT_EQ(nc, 0);
    // No count pointer: that output is not wanted.
    EXPECT_EQ(MA_MelodyAnalysis(0, nullptr, nullptr, &nc, chords, nullptr, nullptr), 0);
    EXPECT_GT(nc, 0);
}

struct BadInput {
    const char* name;
    int what;  // which argument is broken
};

class RejectedInput : public Harmony, public ::testing::WithParamInterface<BadInput> {};

TEST_P(RejectedInput, KeepsThePreviousMelody)
{
    const Melody good = parseMelody(songs::kRepeatedOpening);
    ASSERT_EQ(input(good), 16);
    Arrays before;
    before.call(0);

    Melody m = parseMelody(songs::kEightBars);
    const uint8_t* notes = m.notes.data();
    const uint16_t* lengths = m.lengths.data();
    int32_t count = m.count(), tpb = kTicksPerBeat, ts = 0, bars = -5;
    int32_t* out = &bars;
    const Melody rest = parseMelody("r:4");
    const Melody rests = parseMelody("r:4 r:4 r:1");
    const Melody huge = [] {
        Melody h;
        h.notes.assign(3, 60);
        h.lengths.assign(3, 65535);
        return h;
    }();
    switch (GetParam().what) {
    case 0: notes = nullptr; break;
    case 1: lengths = nullptr; break;
    case 2: out = nullptr; break;
    case 3: count = 0; break;
    case 4: count = -4; break;
    case 5: ts = 4; break;
    case 6: ts = 0x2FF; break;
    case 7: tpb = 3; break;
    case 8: notes = rest.notes.data(); lengths = rest.lengths.data(); count = rest.count(); break;
    case 9: notes = rests.notes.data(); lengths = rests.lengths.data(); count = rests.count(); break;
    case 10: notes = huge.notes.data(); lengths = huge.lengths.data(); count = huge.count(); tpb = 4; break;
    }
    EXPECT_EQ(MA_InputMelody(notes, lengths, count, tpb, ts, 100, out), -1);
    EXPECT_EQ(bars, -5);
    Arrays after;
    EXPECT_EQ(after.call(0), 0);
    EXPECT_EQ(after.ends(), before.ends());
    EXPECT_EQ(after.codes(), before.codes());
}

INSTANTIATE_TEST_SUITE_P(Input, RejectedInput,
                         ::testing::Values(BadInput{"NullNotes", 0}, BadInput{"NullLengths", 1},
                                           BadInput{"NullBarCount", 2}, BadInput{"ZeroCount", 3},
                                           BadInput{"NegativeCount", 4}, BadInput{"MetreFour", 5},
                                           BadInput{"MetreLowByteTooHigh", 6}, BadInput{"TooFineTicks", 7},
                                           BadInput{"OneRest", 8}, BadInput{"OnlyRests", 9},
                                           BadInput{"ThousandsOfBars", 10}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(Harmony, AcceptsUpTo4096Bars)
{
    Melody m;
    for (int bar = 0; bar < 4096; ++bar) {
        m.notes.push_back(static_cast<uint8_t>(60 + (bar % 8 < 4 ? 0 : 7)));
        m.lengths.push_back(768);
    }
    int32_t bars = 0;
    ASSERT_EQ(MA_InputMelody(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0, 100, &bars), 0);
    EXPECT_EQ(bars, 4096);
    std::vector<MA_Section> s(4096);
    std::vector<MA_Chord> c(8192);
    std::vector<MA_Fill> f(4096);
    int32_t ns = 0, nc = 0, nf = 0;
    EXPECT_EQ(MA_MelodyAnalysis(0, &ns, s.data(), &nc, c.data(), &nf, f.data()), 0);
    EXPECT_EQ(s[static_cast<size_t>(ns - 1)].lastBar, 4095);

    m.notes.push_back(62);
    m.lengths.push_back(1);
    bars = -5;
    EXPECT_EQ(MA_InputMelody(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0, 100, &bars), -1);
    EXPECT_EQ(bars, -5);
}

TEST_F(Harmony, TensOfThousandsOfNotes)
{
    Melody m;
    const Melody bar = parseMelody("C4:0.25 D4:0.25 E4:0.25 F4:0.25 G4:0.25 A4:0.25 B4:0.25 C5:0.25 "
                                   "B4:0.25 A4:0.25 G4:0.25 F4:0.25 E4:0.25 D4:0.25 C4:0.5");
    for (int i = 0; m.notes.size() < 30000; ++i)
        m += bar.transposed(i % 5 == 4 ? 7 : (i % 3));
    const int32_t bars = input(m);
    EXPECT_EQ(bars, static_cast<int32_t>((m.span().totalTicks() + 767) / 768));
    std::vector<MA_Section> s(static_cast<size_t>(bars));
    std::vector<MA_Chord> c(static_cast<size_t>(2 * bars));
    std::vector<MA_Fill> f(static_cast<size_t>(bars));
    int32_t ns = 0, nc = 0, nf = 0;
    EXPECT_EQ(MA_MelodyAnalysis(0, &ns, s.data(), &nc, c.data(), &nf, f.data()), 0);
    EXPECT_GT(ns, bars / 12);
    EXPECT_EQ(s[static_cast<size_t>(ns - 1)].lastBar, bars - 1);
    EXPECT_LE(nc, 2 * bars);
    EXPECT_EQ(nf, ns - 1);
}

}  // namespace
}  // namespace tonalyze::test
