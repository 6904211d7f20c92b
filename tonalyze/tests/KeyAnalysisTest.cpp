#include <gtest/gtest.h>

#include "KeyAnalyser.h"
#include "KeyProfile.h"
#include "MelodyText.h"
#include "Tonalyze.h"

namespace tonalyze::test {
namespace {

const char* kCMajorScale = "C4:1 D4:1 E4:1 F4:1 G4:1 A4:1 B4:1 C5:1";
// A children's tune in G: starts and ends on G, F sharp on the way.
const char* kTuneInG =
    "G4:1 G4:1 D5:1 D5:1 E5:1 E5:1 D5:2 C5:1 C5:1 B4:1 B4:1 A4:1 A4:1 G4:2 "
    "D5:1 D5:1 C5:1 C5:1 B4:1 B4:1 A4:2 D5:1 #F4:1 A4:1 #F4:1 G4:4";
// A minor: leading note G sharp, ends on a long A.
const char* kTuneInAMinor =
    "A4:1 C5:1 E5:1 A5:1 G5:1 E5:1 C5:1 E5:1 D5:1 B4:1 #G4:1 B4:1 A4:4 "
    "E5:1 D5:1 C5:1 B4:1 C5:1 A4:1 B4:1 #G4:1 A4:4";
// F major, the B flat decides against C.
const char* kTuneInF = "F4:1 A4:1 C5:1 A4:1 #A4:1 A4:1 G4:2 F4:1 G4:1 A4:1 #A4:1 C5:2 F4:2";
// D major in 3/4 with both sharps.
const char* kWaltzInD = "D4:1 #F4:1 A4:1 D5:2 #C5:1 B4:1 A4:1 G4:1 #F4:1 E4:1 D4:1 E4:2 A3:1 D4:3";

struct KeyCase {
    const char* name;
    const char* melody;
    int ts;
    int transpose;
    int key;
};

class KeyOfTune : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyOfTune, DecidesTheKeyAMusicianHears)
{
    const KeyCase& c = GetParam();
    const Melody m = parseMelody(c.melody).transposed(c.transpose);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, c.ts), c.key);
}

INSTANTIATE_TEST_SUITE_P(Tunes, KeyOfTune,
                         ::testing::Values(KeyCase{"CMajorScale", kCMajorScale, 0, 0, 0},
                                           KeyCase{"ScaleUpAFifth", kCMajorScale, 0, 7, 7},
                                           KeyCase{"ScaleIn34", kCMajorScale, 1, 0, 0},
                                           KeyCase{"ScaleIn68UpATone", kCMajorScale, 3, 2, 2},
                                           KeyCase{"TuneInG", kTuneInG, 0, 0, 7},
                                           KeyCase{"TuneInGDownToE", kTuneInG, 0, -3, 4},
                                           KeyCase{"AMinorGivesRelativeC", kTuneInAMinor, 0, 0, 0},
                                           KeyCase{"TuneInF", kTuneInF, 0, 0, 5},
                                           KeyCase{"WaltzInD", kWaltzInD, 1, 0, 2},
                                           KeyCase{"WaltzInDAs24", kWaltzInD, 2, 0, 2}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(KeyAnalysis, TriadACEFavoursTheLowestTiedTonic)
{
    // A, C, E on equal beats: C, F and G tie on the scale score; C ranks first.
    const Melody m = parseMelody("A4:1 C5:1 E5:1 r:1 A4:1 C5:1 E5:1 r:1");
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0), 0);
}

TEST(KeyAnalysis, RejectsWhatCannotBeAnalysed)
{
    const Melody m = parseMelody(kCMajorScale);
    const Melody rest = parseMelody("r:4");
    const Melody rests = parseMelody("r:4 r:2 r:2");
    EXPECT_EQ(MA_KeyAnalysis(nullptr, m.lengths.data(), m.count(), kTicksPerBeat, 0), -1);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), nullptr, m.count(), kTicksPerBeat, 0), -1);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), 0, kTicksPerBeat, 0), -1);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), -5, kTicksPerBeat, 0), -1);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 4), -1);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), 3, 0), -1);
    EXPECT_EQ(MA_KeyAnalysis(rest.notes.data(), rest.lengths.data(), rest.count(), kTicksPerBeat, 0), -1);
    EXPECT_EQ(MA_KeyAnalysis(rests.notes.data(), rests.lengths.data(), rests.count(), kTicksPerBeat, 0), -1);
}

TEST(KeyAnalysis, ReadsOnlyTheLowByteOfTheMetre)
{
    const Melody m = parseMelody(kCMajorScale).transposed(7);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0x100), 7);
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0x104), -1);
}

TEST(KeyAnalysis, SurvivesLengthsThatFitNoStep)
{
    Melody m = parseMelody(kTuneInG);
    for (auto& l : m.lengths)
        l = static_cast<uint16_t>(l + 7);
    const int key = MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, 0);
    EXPECT_GE(key, 0);
    EXPECT_LE(key, 11);
}

TEST(KeyAnalysis, HandlesTensOfThousandsOfLongNotes)
{
    Melody one = parseMelody(kTuneInF);
    Melody m;
    while (m.notes.size() < 40000)
        m += one;
    for (size_t i = 0; i < m.lengths.size(); i += 3)
        m.lengths[i] = 65535;
    EXPECT_EQ(MA_KeyAnalysis(m.notes.data(), m.lengths.data(), m.count(), 4, 0), 5);
}

// ---- Profiles ------------------------------------------------------------

struct ProfileCase {
    const char* name;
    const char* melody;
    int ts;
    int pitchClass;
    int64_t whole;
    int64_t opening;
};

class KeyProfileWeights : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(KeyProfileWeights, WeighsLengthAndMetricPosition)
{
    const ProfileCase& c = GetParam();
    const Metre metre(c.ts, kTicksPerBeat);
    const KeyProfiles p = KeyProfileBuilder(metre).build(parseMelody(c.melody).span());
    EXPECT_EQ(p.whole[c.pitchClass], c.whole);
    EXPECT_EQ(p.opening[c.pitchClass], c.opening);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, KeyProfileWeights,
    ::testing::Values(
        // Beat 1 of 4/4 in quarter-beat steps: 1600 + 800 + 1200 + 400.
        ProfileCase{"DownbeatQuarter", "C4:1", 0, 0, 4000, 4000},
        // A rest after a note rings on: the whole bar counts for C.
        ProfileCase{"RestLengthensNote", "C4:1 r:3", 0, 0, 10000, 6000},
        // Beat 3 lies past the opening half of the first bar.
        ProfileCase{"ThirdBeatOutsideOpening", "r:2 E4:1 r:1", 0, 4, 4000, 0},
        // A third of a beat: first triplet step of beat 1.
        ProfileCase{"TripletStep", "G4:0.3333333 A4:0.6666667", 0, 7, 1800, 1800},
        // First note a rest over half a bar: bar 0 is a pickup, the opening
        // runs on into bar 1.
        ProfileCase{"PickupMovesOpening", "r:3 A4:1 A4:1", 0, 9, 1000 + 4000, 1000 + 4000},
        // 3/4: beats 1..3 of one bar.
        ProfileCase{"WaltzBar", "D4:3", 1, 2, 4500 + 3000 + 2500, 4500 + 3000},
        // 2/4 weighs the off-beat eighth above the sixteenths around it, as
        // every other metre does: 1600 + 800 for an eighth on the "and".
        ProfileCase{"TwoFourOffBeatEighth", "G4:0.5 A4:0.5 G4:1", 2, 9, 1600 + 800, 1600 + 800},
        // 6/8 second beat weights.
        ProfileCase{"SixEightBeatTwo", "r:1 F4:1 r:1", 3, 5, 3300 + 2200, 3300}),
    [](const auto& tc) { return std::string(tc.param.name); });

// ---- Decision paths ------------------------------------------------------

PitchProfile profileOf(std::initializer_list<std::pair<int, int64_t>> entries)
{
    PitchProfile p{};
    for (auto [pc, v] : entries)
        p[pc] = v;
    return p;
}

struct DecisionCase {
    const char* name;
    KeyProfiles profiles;
    int key;
    const char* line;
};

class KeyDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(KeyDecision, TakesTheRightBranch)
{
    const DecisionCase& c = GetParam();
    std::string trace;
    EXPECT_EQ(KeyAnalyser::decide(c.profiles, &trace), c.key);
    EXPECT_NE(trace.find(c.line), std::string::npos) << trace;
}

INSTANTIATE_TEST_SUITE_P(
    Branches, KeyDecision,
    ::testing::Values(
        // Clear scale winner.
        DecisionCase{"ClearScale", {profileOf({{2, 10}, {9, 10}, {7, 30}, {1, 30}}), {}}, 2, "★最终曲调:2"},
        // C D E G A only: C, F and G tie on the scale, C wins the pentatonic.
        DecisionCase{"PentatonicConfirms",
                     {profileOf({{0, 10}, {2, 10}, {4, 10}, {7, 10}, {9, 10}}), {}},
                     0,
                     "★最终曲调:0"},
        // C and G tie on the scale, G leads the pentatonic, the opening agrees.
        DecisionCase{"OpeningSettlesTie",
                     {profileOf({{0, 10}, {4, 10}, {7, 10}, {9, 10}, {2, 10}, {11, 20}}),
                      profileOf({{7, 10}, {11, 10}, {2, 10}, {4, 10}})},
                     7,
                     "第一小节==12356加权，最终曲调:7"},
        // E minor without C sharp: G and D fit the scale almost alike and D
        // leads the pentatonic, but the tune ends on E, la in G and re in D.
        DecisionCase{"LastNoteLaClosesTheRelativeMajor",
                     {profileOf({{0, 4}, {2, 7}, {4, 24}, {6, 23}, {7, 19}, {9, 14}, {11, 8}}), {}, 4},
                     7,
                     "★结尾音判断，最终曲调:7"},
        // The same notes ending on D, do in D and sol in G.
        DecisionCase{"LastNoteDoClosesItsOwnKey",
                     {profileOf({{0, 4}, {2, 7}, {4, 24}, {6, 23}, {7, 19}, {9, 14}, {11, 8}}), {}, 2},
                     2,
                     "★结尾音判断，最终曲调:2"},
        // No opening information and full ties: the smallest ratio decides.
        DecisionCase{"RatioFallsBack", {profileOf({{0, 10}, {7, 10}, {2, 10}, {5, 10}}), {}}, 5,
                     "★最大差比判断，最终曲调:5"}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace tonalyze::test
