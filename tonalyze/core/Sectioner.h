// Divides a song into sections of at most 11 bars: at repetitions of an
// earlier opening where there are any, else at a cadence near bar 8.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "SongShape.h"

namespace tonalyze {

class Sectioner {
public:
    Sectioner(const SongShape& song, int mode) : m_song(song), m_mode(mode) {}

    // The last bar of every section, ascending.
    std::vector<int> run();

    // Split bar for the stretch s..e (at least 12 bars) when no repetition helps.
    int cadenceSplit(int s, int e) const;

    static std::string endsText(const char* heading, const std::vector<int>& ends);

private:
    bool findLongSection(int& s, int& e) const;
    bool repetitionSplit(int s, int e);
    bool walk(int r, int s, int e);
    int cadenceSplitOnTonic(int s, int mode) const;
    int cadenceSplitElsewhere(int s) const;
    bool doesNotRepeat(int x) const;
    void logEnds(const char* heading) const;

    const SongShape& m_song;
    int m_mode;
    std::set<int> m_ends;
    int m_triedStart = -1;  // stretch whose references all found nothing
    int m_triedEnd = -1;
};

}  // namespace tonalyze
