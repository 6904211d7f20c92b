#include "PlaybackClock.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "EngineTables.h"
#include "MelodriftMessages.h"
#include "SongModel.h"

namespace melodrift {

void RecomputeClockQuantities(TSongModel& song)
{
    const double beats = BeatsPerBar(song.metre);
    const double tempo = song.tempo > 0 ? song.tempo : 75;
    song.ticksPerClockTick = tempo * 3000.0 / beats / 60000.0;
    song.msPerBar = beats * 60000.0 / tempo;
}

void SetTempo(TSongModel& song, int tempo, bool force)
{
    if (tempo == song.tempo && !force)
        return;
    song.tempo = tempo;
    RecomputeClockQuantities(song);
    Engines().mm.MM_SetTempo(tempo);
}

void SetMetre(TSongModel& song, int metre, bool force)
{
    if (metre == song.metre && !force)
        return;
    song.metre = metre;
    RecomputeClockQuantities(song);
    Engines().mm.MM_SetTimeSignature(metre);
}

std::string FormatPosition(const TSongModel& song, int bar, double offset)
{
    const int beats = BeatsPerBar(song.metre);
    char text[64];
    if (song.Flag(kFlagBarPositions)) {
        const int d = song.metre == 3 ? kBarTicks / beats / 2 : kBarTicks / beats;
        const int f = static_cast<int>(std::trunc(offset / d));
        const int tick = static_cast<int>(std::trunc((offset - d * f) * kBarTicks / d));
        std::snprintf(text, sizeof text, "%02d:%02d:%03d", bar + 1, f + 1, tick);
    } else {
        const int tempo = song.tempo > 0 ? song.tempo : 75;
        const long long t = static_cast<long long>(std::trunc((bar + offset / kBarTicks) * beats * 60000.0 / tempo));
        std::snprintf(text, sizeof text, "%02lld:%02lld:%03lld", t / 60000, (t % 60000) / 1000, (t % 1000) / 10);
    }
    return text;
}

void PlaybackClock::Start(MDP_Window window)
{
    Stop();
    // Steady-clock deadlines on a thread of its own keep to well under a
    // millisecond here; that is the resolution asked for.
    m_resolutionMs = 1;
    m_stop = false;
    m_thread = std::thread(&PlaybackClock::Run, this, window);
}

void PlaybackClock::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PlaybackClock::Run(MDP_Window window)
{
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        // Deadlines advance by whole periods so that delays do not add up.
        next += std::chrono::milliseconds(kClockPeriodMs);
        if (m_wake.wait_until(guard, next, [this] { return m_stop; }))
            return;
        guard.unlock();
        MDP_PostMessage(window, UM_CLOCK_TICK, 0, 0);
        guard.lock();
    }
}

} // namespace melodrift
