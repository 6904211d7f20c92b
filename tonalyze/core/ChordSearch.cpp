#include "ChordSearch.h"

#include <algorithm>
#include <limits>

namespace tonalyze {
namespace {

// Holding a chord into the next slot scores 60: neither a strong nor a weak
// progression. A low score there made the search change chords at nearly
// every bar line even where the melody still sat in the held chord.
constexpr int kTransition[2][6][6] = {
    {{60, 80, 100, 80, 100, 100},
     {40, 60, 90, 60, 100, 80},
     {40, 80, 60, 90, 20, 100},
     {90, 80, 90, 60, 100, 40},
     {100, 60, 80, 80, 60, 100},
     {40, 100, 100, 90, 80, 60}},
    {{60, 80, 80, 80, 100, 60},
     {40, 60, 100, 80, 100, 90},
     {20, 90, 60, 100, 40, 100},
     {90, 80, 100, 60, 100, 40},
     {100, 60, 90, 80, 60, 100},
     {60, 100, 100, 80, 90, 60}},
};

constexpr int kBonus = 50;
// A candidate's fit to its slot (percent of the slot's best) counts four
// times: the melody decides the chord, progressions and cadences break
// ties. Counted once, one step of the transition table outweighed the
// difference between a chord that holds the melody and one that does not.
constexpr int kFitWeight = 4;
// Folk tunes lean on a few chords: I, IV and V in major; in minor i, III,
// v and VII (vi, I, iii and V of the relative major), seldom iv or ii. Their
// fit counts a fifth more, so a secondary triad needs a clearly better fit.
constexpr int kPrimaryLean = 20;

// A phrase opens on the tonic (or on IV or III after the first section)
// only when that chord fits its first bar: at least this percent of the
// best candidate, lean included. A sectioner boundary a bar early, or a
// phrase that starts on the dominant (re or ti on the downbeat), otherwise
// got I against its melody.
constexpr int kOpeningFit = 70;

bool isPrimary(int function, bool minor)
{
    if (minor)
        return function != kII && function != kIV;
    return function == kI || function == kIV || function == kV;
}

}  // namespace

int ChordSearch::transition(bool minor, int from, int to)
{
    if (from < 0 || from > 5 || to < 0 || to > 5)
        return 0;
    return kTransition[minor ? 1 : 0][from][to];
}

std::vector<Candidate> ChordSearch::candidates(int bar, bool firstHalf, bool minor) const
{
    const CandidateList& list = firstHalf ? m_song.bar(bar).first : m_song.bar(bar).second;
    std::vector<Candidate> out;
    for (const Candidate& c : list)
        if (c.function >= kI && c.function <= kVI)
            out.push_back(c);
    if (out.empty())
        out.push_back({minor ? kVI : kI, 80});
    for (Candidate& c : out)
        if (isPrimary(c.function, minor))
            c.percent = c.percent * (100 + kPrimaryLean) / 100;
    return out;
}

std::vector<int> ChordSearch::solve(int j, int k, int sectionMode) const
{
    Phrase p{j, k, sectionMode < 0, false, -1};
    const int64_t bar = m_song.metre().ticksPerBar();
    if (k >= 2 && k - 1 >= j && m_song.bar(k).longNoteTiedIn()) {
        const BarRecord& before = m_song.bar(k - 1);
        if (before.longNoteTiedIn() || (before.hasLongNote() && 2 * before.longOnset < bar)) {
            p.continuation = true;
            p.tiedDegree = m_song.bar(k).longNote;
            p.last = k - 1;
        }
    }
    const int spb = slotsPerBar();
    const int count = (p.last - j + 1) * spb;
    std::vector<std::vector<Candidate>> cands(static_cast<size_t>(count));
    std::vector<std::vector<int64_t>> score(static_cast<size_t>(count));
    std::vector<std::vector<int>> pred(static_cast<size_t>(count));
    for (int t = 0; t < count; ++t) {
        const Slot s{j + t / spb, t % spb == 0, t == count - 1};
        cands[t] = candidates(s.bar, s.firstHalf, p.minor);
        score[t].assign(cands[t].size(), std::numeric_limits<int64_t>::min());
        pred[t].assign(cands[t].size(), -1);
        for (size_t c = 0; c < cands[t].size(); ++c) {
            const Candidate& m = cands[t][c];
            if (t == 0) {
                score[t][c] = kFitWeight * int64_t{m.percent};
                if (m.percent >= kOpeningFit) {
                    if (m.function == (p.minor ? kVI : kI))
                        score[t][c] += 400;
                    else if (j >= 2 && (m.function == kIV || m.function == kIII))
                        score[t][c] += 320;
                }
                continue;
            }
            for (size_t h = 0; h < cands[t - 1].size(); ++h) {
                const int hp = pred[t - 1][h];
                const int beforeH = (t >= 2 && hp >= 0) ? cands[t - 2][static_cast<size_t>(hp)].function : kNone;
                const int o = adjusted(p, s, cands[t - 1][h].function, beforeH, m);
                const int64_t v = score[t - 1][h] + kFitWeight * int64_t{m.percent} + o;
                if (v > score[t][c]) {
                    score[t][c] = v;
                    pred[t][c] = static_cast<int>(h);
                }
            }
        }
    }
    std::vector<int> out(static_cast<size_t>(count));
    int best = static_cast<int>(std::max_element(score.back().begin(), score.back().end()) - score.back().begin());
    for (int t = count - 1; t >= 0; --t) {
        out[t] = cands[t][static_cast<size_t>(best)].function;
        best = pred[t][static_cast<size_t>(best)];
    }
    if (p.continuation)
        out.insert(out.end(), static_cast<size_t>(spb), out.back());
    return out;
}

int ChordSearch::adjusted(const Phrase& p, const Slot& s, int h, int beforeH, const Candidate& cand) const
{
    const int m = cand.function;
    int o = transition(p.minor, h, m);
    const int j = p.first, last = p.last;
    if (s.bar == j + 3 && j + 3 < last - 1 && h == kIV && m == (p.minor ? kIII : kV))
        o += kBonus;
    if (s.bar == j + 4 && s.firstHalf && j + 4 < last && (m == kI || m == kIV || m == kVI)) {
        o += kBonus;
        if (m == h && (m == kI || m == kVI))
            o += 40;
    }
    if (s.bar == last - 1 && (h == kIV || h == kII) && (m == kV || (p.minor && m == kIII)))
        o += kBonus;
    o = cadenceScore(p, s, m, o);
    if (!s.firstHalf) {
        if (m == h && cand.percent > 50)
            o += 100;
        if (p.minor && m_song.bar(s.bar).longNote == kMi && m_song.bar(s.bar).degreeTime[kSol] == 0 && h == kI &&
            m == kIII)
            o += 120;
    }
    if (s.firstHalf && slotsPerBar() == 2 && s.bar > j + 1 && s.bar < last && h == kVI && beforeH == kI &&
        (m == kIV || m == kII))
        o += 50;
    return o;
}

// The phrase's last bar: chords that close on the melody's resting notes
// get fixed scores instead of the transition table's.
int ChordSearch::cadenceScore(const Phrase& p, const Slot& s, int m, int o) const
{
    const BarRecord& r = m_song.bar(s.bar);
    auto two = [&](int degree) { return m_song.soundsTwoBeats(s.bar, degree); };
    if (s.bar == p.last && s.firstHalf) {
        if (m == kV)
            o = (r.longNote != kRe && r.longNote != kSol && !two(kRe) && !two(kSol)) ? 80 : 100;
        else if (p.minor && m == kIII)
            o = (r.longNote != kMi && r.longNote != kTi && !two(kMi) && !two(kTi)) ? 80 : 100;
        else if (m == kI && (r.longNote == kDo || two(kDo)))
            o = 80;
        else if (m == kVI && (r.longNote == kLa || two(kLa)))
            o = 80;
    }
    if (!s.last)
        return o;
    const bool cont = p.continuation;
    const int tied = p.tiedDegree;
    if (!p.minor) {
        if (m == kI)
            o = (cont && tied == kDo) ? 160 : two(kDo) ? 130 : 80;
        else if (m == kV)
            o = (cont && (tied == kRe || tied == kSol)) ? 160 : (two(kRe) || two(kSol)) ? 130 : 80;
        return o;
    }
    if (m == kV)
        o = 50;
    else if (m == kVI)
        o = (cont && tied == kLa) ? 160 : two(kLa) ? 130 : 80;
    else if (m == kIII)
        o = (cont && (tied == kMi || tied == kTi)) ? 160 : (two(kMi) || two(kTi)) ? 130 : 80;
    return o;
}

}  // namespace tonalyze
