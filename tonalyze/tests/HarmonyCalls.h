// Calls through the C entry points that the harmony tests share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MelodyText.h"
#include "Tonalyze.h"

namespace tonalyze::test {

struct Result {
    int32_t bars = -1;
    std::vector<MA_Section> sections;
    std::vector<MA_Chord> chords;
    std::vector<MA_Fill> fills;
};

// Feeds a melody through the C entry points and asks for everything.
inline Result analyse(const Melody& m, int ts, int key)
{
    Result r;
    EXPECT_EQ(MA_InputMelody(m.notes.data(), m.lengths.data(), m.count(), kTicksPerBeat, ts, 120, &r.bars), 0);
    std::vector<MA_Section> s(static_cast<size_t>(r.bars));
    std::vector<MA_Chord> c(static_cast<size_t>(2 * r.bars));
    std::vector<MA_Fill> f(static_cast<size_t>(r.bars));
    int32_t ns = 0, nc = 0, nf = 0;
    EXPECT_EQ(MA_MelodyAnalysis(key, &ns, s.data(), &nc, c.data(), &nf, f.data()), 0);
    r.sections.assign(s.begin(), s.begin() + ns);
    r.chords.assign(c.begin(), c.begin() + nc);
    r.fills.assign(f.begin(), f.begin() + nf);
    return r;
}

inline Result analyse(const std::string& text, int ts, int key)
{
    return analyse(parseMelody(text), ts, key);
}

inline std::vector<int> lastBars(const Result& r)
{
    std::vector<int> out;
    for (const MA_Section& s : r.sections)
        out.push_back(s.lastBar);
    return out;
}

inline std::vector<int> patterns(const Result& r)
{
    std::vector<int> out;
    for (const MA_Section& s : r.sections)
        out.push_back(s.pattern);
    return out;
}

inline std::vector<int> fillBars(const Result& r)
{
    std::vector<int> out;
    for (const MA_Fill& f : r.fills) {
        EXPECT_EQ(f.flag, 1);
        out.push_back(f.bar);
    }
    return out;
}

// Chord records laid back onto bars: how many bars they cover.
inline int barsCovered(const Result& r)
{
    int halves = 0;
    for (const MA_Chord& c : r.chords)
        halves += c.wholeBar ? 2 : 1;
    EXPECT_EQ(halves % 2, 0);
    return halves / 2;
}

class Harmony : public ::testing::Test {
protected:
    void SetUp() override { MA_Release(); }
    void TearDown() override { MA_Release(); }
};

}  // namespace tonalyze::test
