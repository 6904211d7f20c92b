#pragma once

// Tempo and metre with the quantities derived from them, position texts, and
// the 25 ms clock that drives a screen's cursor while the song plays.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "MelodriftPlatform.h"

namespace melodrift {

class TSongModel;

constexpr int kClockPeriodMs = 25;

// Recomputes ticksPerClockTick and msPerBar from the model's tempo and metre.
void RecomputeClockQuantities(TSongModel& song);

// Both do nothing when the value is unchanged and force is off; otherwise they
// store the value, recompute the derived quantities and tell the engine.
void SetTempo(TSongModel& song, int tempo, bool force);
void SetMetre(TSongModel& song, int metre, bool force);

// "%02d:%02d:%03d" as bar:beat:tick (state flag 6) or minutes:seconds:hundredths.
std::string FormatPosition(const TSongModel& song, int bar, double offset);

// One screen's clock: posts UM_CLOCK_TICK to its window every 25 ms from a
// timer thread until stopped. Stop joins the thread, so no tick is posted
// after Stop returns.
class PlaybackClock {
public:
    PlaybackClock() = default;
    ~PlaybackClock() { Stop(); }
    PlaybackClock(const PlaybackClock&) = delete;
    PlaybackClock& operator=(const PlaybackClock&) = delete;

    // Restarts the clock when it is running already.
    void Start(MDP_Window window);
    void Stop();
    bool Running() const { return m_thread.joinable(); }
    int ResolutionMs() const { return m_resolutionMs; }

private:
    void Run(MDP_Window window);

    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    int m_resolutionMs = 0;
};

} // namespace melodrift
