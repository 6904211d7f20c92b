#include "TMelodyBackup.h"

#include <algorithm>

#include "SongModel.h"

namespace melodrift {

void TMelodyBackup::TakeSnapshot(const TSongModel& song)
{
    m_key = song.key;
    m_bars.resize(song.bars.size());
    for (size_t i = 0; i < song.bars.size(); ++i)
        m_bars[i] = {{song.bars[i].chords[0], song.bars[i].chords[1]}, song.bars[i].fill};
    m_stages.resize(song.stages.size());
    for (size_t i = 0; i < song.stages.size(); ++i)
        m_stages[i] = {song.stages[i].firstBar, song.stages[i].lastBar, song.stages[i].pattern};
    m_flags = 0;
}

int TMelodyBackup::ChangedAspects(const TSongModel& song, int mask)
{
    m_flags &= ~mask;
    if ((mask & kChangeKey) && song.key != m_key)
        m_flags |= kChangeKey;
    if ((mask & kChangeBarCount) && song.bars.size() != m_bars.size())
        m_flags |= kChangeBarCount;
    if (!(m_flags & kChangeBarCount) && (mask & (kChangeChords | kChangeFills))) {
        for (size_t i = 0; i < song.bars.size() && i < m_bars.size(); ++i) {
            const tagMelodyBar& bar = song.bars[i];
            if ((mask & kChangeChords) && !(m_flags & kChangeChords) &&
                (bar.chords[0] != m_bars[i].chords[0] || bar.chords[1] != m_bars[i].chords[1]))
                m_flags |= kChangeChords;
            if ((mask & kChangeFills) && !(m_flags & kChangeFills) && bar.fill != m_bars[i].fill)
                m_flags |= kChangeFills;
        }
    }
    if ((mask & kChangeStageCount) && song.stages.size() != m_stages.size())
        m_flags |= kChangeStageCount;
    if (!(m_flags & kChangeStageCount) && (mask & (kChangeStageBounds | kChangePatterns))) {
        for (size_t i = 0; i < song.stages.size() && i < m_stages.size(); ++i) {
            const tagMelodyStage& s = song.stages[i];
            if ((mask & kChangeStageBounds) && (s.firstBar != m_stages[i].firstBar || s.lastBar != m_stages[i].lastBar))
                m_flags |= kChangeStageBounds;
            if ((mask & kChangePatterns) && s.pattern != m_stages[i].pattern)
                m_flags |= kChangePatterns;
        }
    }
    return m_flags;
}

void TMelodyBackup::Revert(TSongModel& song) const
{
    song.key = m_key;
    for (size_t i = 0; i < song.bars.size() && i < m_bars.size(); ++i) {
        song.bars[i].chords = {static_cast<int8_t>(m_bars[i].chords[0]), static_cast<int8_t>(m_bars[i].chords[1])};
        song.bars[i].fill = static_cast<int8_t>(m_bars[i].fill);
    }
    if (song.stages.size() != m_stages.size()) {
        song.ClearSong(kClearStages);
        song.stages.resize(m_stages.size());
    }
    for (size_t i = 0; i < m_stages.size(); ++i)
        song.stages[i] = {m_stages[i].firstBar, m_stages[i].lastBar, m_stages[i].pattern};
}

} // namespace melodrift
