// Chooses the chords of one phrase by dynamic programming over the bars'
// ranked candidates, a table of chord-to-chord scores and cadence bonuses.
#pragma once

#include <vector>

#include "SongShape.h"

namespace tonalyze {

class ChordSearch {
public:
    explicit ChordSearch(const SongShape& song) : m_song(song) {}

    // Functions for every slot of bars j..k (one slot a bar, two in 4/4).
    std::vector<int> solve(int j, int k, int sectionMode) const;

    // Chord-to-chord score T[minor][from][to], functions I..vi.
    static int transition(bool minor, int from, int to);

private:
    struct Phrase {
        int first;          // bar j
        int last;           // last bar searched
        bool minor;
        bool continuation;  // the phrase's final bar only holds a note tied over
        int tiedDegree;     // that note's degree
    };
    struct Slot {
        int bar;
        bool firstHalf;
        bool last;
    };

    std::vector<Candidate> candidates(int bar, bool firstHalf, bool minor) const;
    int adjusted(const Phrase& p, const Slot& s, int h, int beforeH, const Candidate& m) const;
    int cadenceScore(const Phrase& p, const Slot& s, int m, int o) const;
    int slotsPerBar() const { return m_song.metre().code() == 0 ? 2 : 1; }

    const SongShape& m_song;
};

}  // namespace tonalyze
