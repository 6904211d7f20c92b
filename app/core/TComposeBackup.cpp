#include "TComposeBackup.h"

#include "SongModel.h"

namespace melodrift {

void TComposeBackup::TakeSnapshot(const TSongModel& song)
{
    m_entries = song.songForm;
    m_flags = 0;
}

int TComposeBackup::ChangedAspects(const TSongModel& song, int mask)
{
    m_flags &= ~mask;
    if ((mask & kChangeStageCount) && song.songForm.size() != m_entries.size())
        m_flags |= kChangeStageCount;
    const int perEntry = kChangeFills | kChangeStageCount | kChangeStageBounds | kChangePatterns | kChangeStyles;
    if (m_flags & kChangeStageCount || !(mask & perEntry))
        return m_flags;
    for (size_t i = 0; i < song.songForm.size() && i < m_entries.size(); ++i) {
        const tagComposeStage& now = song.songForm[i];
        const tagComposeStage& then = m_entries[i];
        if ((mask & kChangeStageBounds) && (now.ref != then.ref || now.barCount != then.barCount))
            m_flags |= kChangeStageBounds;
        if ((mask & kChangePatterns) && now.pattern != then.pattern)
            m_flags |= kChangePatterns;
        if ((mask & kChangeStyles) && now.styleId != then.styleId)
            m_flags |= kChangeStyles;
        if ((mask & kChangeFills) && now.fills != then.fills)
            m_flags |= kChangeFills;
    }
    return m_flags;
}

void TComposeBackup::Revert(TSongModel& song) const
{
    if (song.songForm.size() != m_entries.size())
        song.ClearSong(kClearSongForm);
    song.songForm = m_entries;
}

} // namespace melodrift
