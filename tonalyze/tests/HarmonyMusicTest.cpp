// Tunes whose right chords any musician would agree on, through the C entry
// points as the style composer calls them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "HarmonyCalls.h"

namespace tonalyze::test {
namespace {

std::string chordName(int code)
{
    static const char* const kRoots[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    if (code < 0)
        return "-";
    return std::string(kRoots[(code / 4) % 12]) + (code % 4 == 1 ? "m" : "");
}

// One name per bar: "C", or "C/G" for two half-bar chords.
std::vector<std::string> barChords(const Result& r)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < r.chords.size(); ++i) {
        if (r.chords[i].wholeBar || i + 1 >= r.chords.size()) {
            out.push_back(chordName(r.chords[i].code));
            continue;
        }
        out.push_back(chordName(r.chords[i].code) + "/" + chordName(r.chords[i + 1].code));
        ++i;
    }
    return out;
}

bool allowed(const std::string& got, const std::string& alternatives)
{
    std::istringstream in(alternatives);
    std::string one;
    while (std::getline(in, one, '|'))
        if (one == got || one == "*")
            return true;
    return false;
}

struct MusicCase {
    const char* name;
    std::string melody;
    int ts;
    int key;
    std::vector<std::string> wanted;  // per bar, alternatives joined by '|'; "*" any
    int atLeast;                      // bars that must match; 0: every bar
};

void PrintTo(const MusicCase& c, std::ostream* os)
{
    *os << c.name;
}

class MusicalChords : public Harmony, public ::testing::WithParamInterface<MusicCase> {};

TEST_P(MusicalChords, AMusicianWouldAgree)
{
    const MusicCase& c = GetParam();
    const Result r = analyse(c.melody, c.ts, c.key);
    const std::vector<std::string> got = barChords(r);
    ASSERT_EQ(got.size(), c.wanted.size());
    int right = 0;
    std::string shown;
    for (size_t b = 0; b < got.size(); ++b) {
        right += allowed(got[b], c.wanted[b]) ? 1 : 0;
        shown += got[b] + " | ";
    }
    EXPECT_GE(right, c.atLeast > 0 ? c.atLeast : static_cast<int>(got.size())) << shown;
}

std::string times(const std::string& bar, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += bar;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Tunes, MusicalChords,
    ::testing::Values(
        // Nothing but the tonic triad: I on nearly every bar, whatever the
        // transition table would like to move to.
        MusicCase{"ArpeggiosIn34", times("C4:1 E4:1 G4:1 ", 8), 1, 0, std::vector<std::string>(8, "C"), 6},
        MusicCase{"ArpeggiosIn68", times("C4:0.5 E4:0.5 G4:0.5 C5:0.5 G4:0.5 E4:0.5 ", 8), 3, 0,
                  std::vector<std::string>(8, "C"), 6},
        // The middle bar spells G7 (G B D F): a dominant, not IV or ii.
        MusicCase{"BarOutliningG7", "C4:1 E4:1 G4:1 E4:1 G4:1 B4:1 D5:1 F5:1 E5:4", 0, 0, {"C", "G", "C"}, 0},
        MusicCase{"BarOutliningG7In34", "C4:1 E4:1 G4:1 G4:1 B4:1 F5:1 E5:3", 1, 0, {"C", "G", "C"}, 0},
        MusicCase{"IIVVIIn44", "C4:1 E4:1 G4:2 F4:1 A4:1 C5:2 D5:1 B4:1 G4:2 C5:4", 0, 0, {"C", "F", "G", "C"}, 0},
        MusicCase{"IIVVIIn44InG", "G4:1 B4:1 D5:2 C5:1 E5:1 G5:2 A5:1 #F5:1 D5:2 G5:4", 0, 7, {"G", "C", "D", "G"},
                  0},
        MusicCase{"IIVVIIn24", "C4:1 E4:1 G4:1 E4:1 F4:1 A4:1 C5:1 A4:1 G4:1 B4:1 D5:1 B4:1 C5:1 G4:1 C5:2", 2, 0,
                  {"C", "C", "F", "F", "G", "G", "C", "C"}, 0},
        // A minor with its raised seventh: the dominant is E major.
        MusicCase{"AMinor", "A4:1 C5:1 E5:1 C5:1 D5:1 F5:1 A5:1 F5:1 E5:1 #G5:1 B5:1 #G5:1 A5:4", 0, 0,
                  {"Am", "Dm", "E", "Am"}, 0},
        MusicCase{"AMinorWaltz", "A4:1 C5:1 E5:1 D5:1 F5:1 A5:1 B4:1 #G4:1 E4:1 A4:3", 1, 0, {"Am", "Dm", "E", "Am"},
                  0},
        // A sol held over bars 3 and 4: whatever sounds under it holds it.
        MusicCase{"NoteHeldOverTwoBars",
                  "E4:1 D4:1 C4:1 D4:1 E4:1 E4:1 E4:2 D4:1 D4:1 D4:2 G4:8 E4:1 D4:1 C4:1 D4:1 E4:1 E4:1 E4:1 C4:1 "
                  "D4:1 D4:1 E4:1 D4:1 C4:4",
                  0, 0, {"*", "*", "*", "C|G|Em", "C|G|Em", "*", "*", "*", "C"}, 0},
        // The second phrase opens on re held two beats over sol, then ti and
        // re: a dominant opening, not the tonic a phrase usually starts on.
        MusicCase{"PhraseOpeningOnTheDominantIn34",
                  "C4:2 E4:1 G4:2 E4:1 F4:2 A4:1 G4:3 E4:2 C4:1 D4:2 B3:1 D4:2 B3:1 C4:3 "
                  "D4:2 G4:1 B3:2 D4:1 C4:2 E4:1 G4:3 A4:2 F4:1 E4:2 G4:1 D4:2 B3:1 C4:3",
                  1, 0, {"*", "*", "*", "*", "*", "*", "*", "C", "G", "G", "*", "*", "*", "*", "G", "C"}, 0}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace tonalyze::test
