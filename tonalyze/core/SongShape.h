// Questions about the bars of an analysed song that the sectioning and the
// chord search both ask: similarity, cadences, where a section may end.
#pragma once

#include <cstddef>
#include <vector>

#include "BarRecord.h"
#include "Metre.h"

namespace tonalyze {

// A mode score leans major when positive, to the relative minor when
// negative; at 0 both readings count.
bool isModeTonic(int function, int mode);
bool isModeDominant(int function, int mode);
bool isModeTonicDegree(int degree, int mode);

class SongShape {
public:
    SongShape(const std::vector<BarRecord>& bars, const Metre& metre, int pickup);

    int barCount() const { return static_cast<int>(m_bars.size()); }
    int pickup() const { return m_pickup; }
    const Metre& metre() const { return m_metre; }
    const BarRecord& bar(int x) const { return m_bars[static_cast<size_t>(x)]; }
    bool valid(int x) const { return x >= 0 && x < barCount(); }

    // The bar after x does not begin with a note tied in from x.
    bool canEnd(int x) const;
    // n bars from a sound like n bars from b; false when either runs off the song.
    bool similar(int a, int b, int n) const;
    // Leaning of the stretch f..l: positive major, negative minor.
    int boundaryScore(int f, int l) const;
    bool opensOnTonic(int x, int mode) const;
    // Candidates of the bar's late half: the second half in 4/4, else the bar.
    const CandidateList& late(int x) const;
    bool lateTonicLike(int x) const;
    bool lateDominantLike(int x) const;
    bool hasLongNote(int x) const { return valid(x) && bar(x).hasLongNote(); }
    // How many bars (1 or 2) a cadence at x rings on into; 0 none.
    int extension(int x, int mode) const;
    bool soundsTwoBeats(int x, int degree) const;

private:
    const std::vector<BarRecord>& m_bars;
    const Metre& m_metre;
    int m_pickup;
};

}  // namespace tonalyze
