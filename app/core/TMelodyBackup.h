#pragma once

// Snapshot of the key, the bars' chords and fills and the melody stages, taken
// when the base accompaniment was last generated, to tell what the user has
// changed since and to undo it all at once.

#include <cstdint>
#include <vector>

#include "ChangeFlags.h"

namespace melodrift {

class TSongModel;

class TMelodyBackup {
public:
    void TakeSnapshot(const TSongModel& song);
    void Revert(TSongModel& song) const;
    // Re-tests the aspects named by mask; returns every flag set so far.
    int ChangedAspects(const TSongModel& song, int mask);
    int Flags() const { return m_flags; }

private:
    struct BarCopy {
        int32_t chords[2];
        int32_t fill;
    };
    struct StageCopy {
        int32_t firstBar, lastBar, pattern;
    };

    int m_flags = 0;
    int32_t m_key = -1;
    std::vector<BarCopy> m_bars;
    std::vector<StageCopy> m_stages;
};

} // namespace melodrift
