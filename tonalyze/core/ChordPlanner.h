// Chords for a whole song: each section solved as one or two phrases, one-bar
// sections and the pickup bar handled on their own.
#pragma once

#include <vector>

#include "SongShape.h"

namespace tonalyze {

class ChordPlanner {
public:
    ChordPlanner(const SongShape& song, int songMode) : m_song(song), m_mode(songMode) {}

    // One function per slot (two slots a bar in 4/4), sections given by
    // their last bars.
    std::vector<int> plan(const std::vector<int>& ends) const;

private:
    std::vector<int> oneBarSection(int bar) const;
    int sectionMode(int j, int k) const;
    void fillPickup(std::vector<int>& slots, const std::vector<int>& ends) const;
    int slotsPerBar() const { return m_song.metre().code() == 0 ? 2 : 1; }

    const SongShape& m_song;
    int m_mode;
};

// Output chord code in key K: root pitch class * 4 + quality; 0 for no chord.
int chordCode(int function, int key);

}  // namespace tonalyze
