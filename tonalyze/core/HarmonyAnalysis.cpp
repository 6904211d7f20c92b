#include "HarmonyAnalysis.h"

#include <algorithm>
#include <cstdio>

#include "BarFeatures.h"
#include "ChordPlanner.h"
#include "KeyAnalyser.h"
#include "Log.h"
#include "Sectioner.h"
#include "SongShape.h"

namespace tonalyze {

int HarmonyAnalysis::input(const NoteSpan& melody, int ticksPerBeat, int ts)
{
    if (melody.size() == 0 || !Metre::isValidCode(ts) || ticksPerBeat < 4 || !melody.hasPitchedNote())
        return -1;
    const Metre metre(ts, ticksPerBeat);
    const int64_t bars = (melody.totalTicks() + metre.ticksPerBar() - 1) / metre.ticksPerBar();
    if (bars <= 0 || bars > kMaxBars)
        return -1;
    if (sameMelody(melody, ticksPerBeat, ts))
        return m_barCount;
    m_notes.assign(melody.notes.begin(), melody.notes.end());
    m_lengths.assign(melody.lengths.begin(), melody.lengths.end());
    m_ticksPerBeat = ticksPerBeat;
    m_ts = ts;
    m_metre.emplace(metre);
    m_barCount = static_cast<int>(bars);
    m_pickup = (isRest(m_notes[0]) && 2 * int64_t{m_lengths[0]} > metre.ticksPerBar()) ? 1 : 0;
    m_key = -1;
    m_mode = 0;
    m_bars.clear();
    m_ends.clear();
    m_chords.clear();
    return m_barCount;
}

bool HarmonyAnalysis::sameMelody(const NoteSpan& melody, int ticksPerBeat, int ts) const
{
    return m_metre && ticksPerBeat == m_ticksPerBeat && ts == m_ts &&
           std::equal(melody.notes.begin(), melody.notes.end(), m_notes.begin(), m_notes.end()) &&
           std::equal(melody.lengths.begin(), melody.lengths.end(), m_lengths.begin(), m_lengths.end());
}

// The style composer passes -1 when the song has no key yet; the stored
// melody can tell it.
int HarmonyAnalysis::resolveKey(int key) const
{
    if (key >= 0 && key <= 11)
        return key;
    return std::max(0, KeyAnalyser::analyse(stored(), m_ticksPerBeat, m_ts));
}

void HarmonyAnalysis::analyseInKey(int key)
{
    m_key = key;
    BarFeatures features = BarFeatureBuilder(*m_metre, key, m_barCount, m_pickup).build(stored());
    m_bars = std::move(features.bars);
    const SongShape song(m_bars, *m_metre, m_pickup);
    m_mode = 0;
    if (features.tonicSum < features.relativeSum)
        m_mode -= 4;
    else if (features.tonicSum > features.relativeSum)
        m_mode += 4;
    const int last = m_barCount - 1;
    m_mode += song.boundaryScore(std::min(m_pickup, last), last);
    char buf[64];
    std::snprintf(buf, sizeof buf, "\n全曲调性： %s\n", m_mode > 0 ? "major" : m_mode < 0 ? "minor" : "unknown");
    logText(buf);
    m_ends = Sectioner(song, m_mode).run();
    planChords();
}

void HarmonyAnalysis::planChords()
{
    const SongShape song(m_bars, *m_metre, m_pickup);
    m_chords = ChordPlanner(song, m_mode).plan(m_ends);
}

// Caller sections must cover the song in order; anything else would send
// the chord search outside the bars, so it is ignored.
bool HarmonyAnalysis::adoptSections(const MA_Section* sections, int32_t count)
{
    if (!sections || count > m_barCount || m_ends.empty())
        return false;
    std::vector<int> ends;
    for (int32_t i = 0; i < count; ++i) {
        const int bar = sections[i].lastBar;
        if (bar < 0 || bar >= m_barCount || (!ends.empty() && bar <= ends.back()))
            return false;
        ends.push_back(bar);
    }
    if (ends.back() != m_barCount - 1 || ends == m_ends)
        return false;
    m_ends = std::move(ends);
    m_chords.clear();
    return true;
}

}  // namespace tonalyze
