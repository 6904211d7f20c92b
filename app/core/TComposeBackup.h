#pragma once

// Snapshot of the song form taken when the song was last composed, to tell
// what the user has changed since and to undo it all at once.

#include <vector>

#include "ChangeFlags.h"
#include "SongRecords.h"

namespace melodrift {

class TSongModel;

class TComposeBackup {
public:
    void TakeSnapshot(const TSongModel& song);
    void Revert(TSongModel& song) const;
    int ChangedAspects(const TSongModel& song, int mask);
    int Flags() const { return m_flags; }

private:
    int m_flags = 0;
    std::vector<tagComposeStage> m_entries;
};

} // namespace melodrift
