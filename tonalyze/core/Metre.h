// Metre code, bar geometry and the metric weight of every step position.
#pragma once

#include <cstdint>

namespace tonalyze {

enum class StepKind { Quarter, Third };

class Metre {
public:
    // ts must be 0..3 (4/4, 3/4, 2/4, 6/8); ticksPerBeat at least 4.
    Metre(int ts, int ticksPerBeat);

    static bool isValidCode(int ts) { return ts >= 0 && ts <= 3; }

    int code() const { return m_ts; }
    int beatsPerBar() const { return m_beatsPerBar; }
    int64_t ticksPerBeat() const { return m_ticksPerBeat; }
    int64_t ticksPerBar() const { return m_ticksPerBeat * m_beatsPerBar; }
    int64_t stepTicks(StepKind kind) const;

    // Weight of the step that starts at tick position pos (from the song's start).
    int weightAt(StepKind kind, int64_t pos) const;
    // Weight by indexes; out-of-range step indexes use the beat's last step.
    int weight(StepKind kind, int beat, int step) const;

private:
    int m_ts;
    int m_beatsPerBar;
    int64_t m_ticksPerBeat;
};

}  // namespace tonalyze
