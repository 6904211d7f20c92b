#include "CompleteLogic.h"

#include <algorithm>
#include <cmath>

#include "SongModel.h"

namespace melodrift {

int CompleteState::BarCount() const
{
    int bars = 0;
    for (const auto& s : m_song.songForm)
        bars += std::max(0, s.barCount);
    return bars;
}

void CompleteState::BuildLevels()
{
    if (!m_song.barVols.empty())
        return;
    for (const tagComposeStage& s : m_song.songForm) {
        for (int i = 0; i < s.barCount; ++i) {
            tagBarVols bar;
            if (IsMelodyRef(s.ref) && s.ref < static_cast<int>(m_song.stages.size())) {
                const int melodyBar = m_song.stages[s.ref].firstBar + i;
                if (melodyBar >= 0 && melodyBar < static_cast<int>(m_song.bars.size()))
                    bar.levels = m_song.bars[melodyBar].levels;
            }
            m_song.barVols.push_back(bar);
        }
    }
}

void CompleteState::SetPartial(bool on)
{
    m_partial = on;
    if (!on)
        m_begin = m_end = {};
}

bool CompleteState::PlaceBegin(int bar, int offset)
{
    int x = bar * 120 + offset;
    if (m_end.Set()) {
        if (x > m_end.Absolute())
            return false;
        x = std::min(x, m_end.Absolute() - kMarkerGap);
        if (x < 0)
            return false;
    }
    m_begin = BarMark::FromAbsolute(x);
    return true;
}

bool CompleteState::PlaceEnd(int bar, int offset)
{
    int x = bar * 120 + offset;
    if (m_begin.Set()) {
        if (x < m_begin.Absolute())
            return false;
        x = std::max(x, m_begin.Absolute() + kMarkerGap);
    }
    m_end = BarMark::FromAbsolute(x);
    return true;
}

bool CompleteState::InRange(int bar, int offset) const
{
    if (!m_partial)
        return true;
    const int x = bar * 120 + offset;
    return (!m_begin.Set() || x >= m_begin.Absolute()) && (!m_end.Set() || x < m_end.Absolute());
}

RecordStart CompleteState::StartRecording(int cursorBar, int cursorOffset)
{
    RecordStart r;
    if (!m_partial) {
        m_cursorBar = 0;
        m_cursorOffset = 0;
        m_lastLevel = 0;
        return r;
    }
    if (m_begin.Set() && m_begin.Absolute() <= cursorBar * 120 + cursorOffset) {
        cursorBar = std::max(0, m_begin.bar - 1);
        cursorOffset = 0;
    }
    m_cursorBar = r.cursorBar = cursorBar;
    m_cursorOffset = r.cursorOffset = cursorOffset;
    r.start = cursorBar + cursorOffset / 120.0;
    r.punchIn = m_begin.Set() ? m_begin.bar + m_begin.offset / 120.0 : 0;
    r.punchOut = m_end.Set() ? m_end.bar + m_end.offset / 120.0 : 0;
    m_lastLevel = Column(m_begin.Set() ? m_begin.Absolute() : 0);
    if (m_lastLevel == -1)
        m_lastLevel = 0;
    return r;
}

int32_t& CompleteState::Column(int absolute)
{
    static int32_t none = 0;
    const int bar = absolute / 120;
    if (absolute < 0 || bar >= static_cast<int>(m_song.barVols.size())) {
        none = 0;
        return none;
    }
    return m_song.barVols[bar].levels[absolute % 120];
}

bool CompleteState::Tick(bool recording, const LevelSource& level, const std::function<void(int bar)>& repaint)
{
    const int oldBar = m_cursorBar;
    const int oldPixel = static_cast<int>(m_cursorOffset);
    const bool liveBefore = recording && InRange(oldBar, oldPixel);
    double offset = m_cursorOffset + m_song.ticksPerClockTick;
    int bar = m_cursorBar;
    while (offset >= 120) {
        offset -= 120;
        ++bar;
    }
    const bool live = recording && InRange(bar, static_cast<int>(offset));
    if (live && m_partial) {
        m_song.SetFlag(kFlagFinalTake, true);
        m_song.SetFlag(kFlagExported, false);
    }
    int32_t value = level(live ? 1 : 5);
    if (value == -1)
        value = 0;
    m_meter = static_cast<int>((value % 65536) * 53 / 32768);
    const int levelBars = static_cast<int>(m_song.barVols.size());
    if (bar != oldBar && liveBefore && oldBar < levelBars) {
        auto& cols = m_song.barVols[oldBar].levels;
        for (int c = oldPixel + 1; c < 120; ++c)
            cols[c] = m_lastLevel;
        repaint(oldBar);
    }
    if (!recording && bar >= levelBars && levelBars > 0) {
        m_cursorBar = bar;
        m_cursorOffset = offset;
        return false;
    }
    if (bar >= BarCount()) {
        m_cursorBar = bar;
        m_cursorOffset = offset;
        return false;
    }
    const int pixel = static_cast<int>(offset);
    if (bar < levelBars && (bar != oldBar || pixel != oldPixel)) {
        tagBarVols& vols = m_song.barVols[bar];
        if (live) {
            vols.voiced = true;   // recorded now
            const int from = bar == oldBar ? oldPixel + 1 : 0;
            for (int c = from; c < pixel; ++c)
                vols.levels[c] = m_lastLevel;
            vols.levels[pixel] = value;
            m_lastLevel = value;
            repaint(bar);
        } else if (!recording && vols.voiced) {
            vols.voiced = false;
            repaint(bar);
        }
    }
    m_cursorBar = bar;
    m_cursorOffset = offset;
    return true;
}

int CompleteState::ShiftForLatency(int latencyMs, int stopBar, int stopOffset)
{
    if (m_song.msPerBar <= 0 || latencyMs <= 0)
        return 0;
    const int d = static_cast<int>(std::trunc(latencyMs / (m_song.msPerBar / 120.0)));
    const int from = m_partial && m_begin.Set() ? m_begin.Absolute() : 0;
    int to = stopBar * 120 + stopOffset;
    const int last = static_cast<int>(m_song.barVols.size()) * 120;
    if (m_partial && m_end.Set())
        to = std::min(to, m_end.Absolute());
    to = std::min(to, last);
    const int length = to - from;
    if (length <= 0 || d <= 0 || d >= length)
        return 0;
    for (int x = from; x < to; ++x)
        Column(x) = x + d < to ? Column(x + d) : Column(to - 1);
    return d;
}

} // namespace melodrift
