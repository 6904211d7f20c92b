#include "Metre.h"

#include <algorithm>

namespace tonalyze {
namespace {

constexpr int kBeats[4] = {4, 3, 2, 3};

constexpr int kQuarter[4][4][4] = {
    {{1600, 800, 1200, 400}, {800, 400, 600, 200}, {1200, 600, 900, 300}, {400, 200, 300, 100}},
    {{1800, 900, 1350, 450}, {1200, 600, 900, 300}, {1000, 500, 750, 250}, {0, 0, 0, 0}},
    {{2400, 1200, 1600, 800}, {1800, 600, 1200, 400}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {{1620, 1080, 1080, 720}, {900, 600, 1080, 720}, {720, 480, 600, 400}, {0, 0, 0, 0}},
};

constexpr int kThird[4][4][3] = {
    {{1800, 1200, 1000}, {900, 600, 500}, {1350, 900, 750}, {450, 300, 250}},
    {{2025, 1350, 1125}, {1350, 900, 750}, {1125, 750, 650}, {0, 0, 0}},
    {{2700, 1800, 1500}, {1800, 1200, 1000}, {0, 0, 0}, {0, 0, 0}},
    {{2025, 1350, 1125}, {990, 825, 1485}, {990, 660, 550}, {0, 0, 0}},
};

}  // namespace

Metre::Metre(int ts, int ticksPerBeat)
    : m_ts(std::clamp(ts, 0, 3)), m_beatsPerBar(kBeats[m_ts]), m_ticksPerBeat(std::max(ticksPerBeat, 4))
{
}

int64_t Metre::stepTicks(StepKind kind) const
{
    return kind == StepKind::Quarter ? m_ticksPerBeat / 4 : m_ticksPerBeat / 3;
}

int Metre::weight(StepKind kind, int beat, int step) const
{
    beat = std::clamp(beat, 0, m_beatsPerBar - 1);
    if (kind == StepKind::Quarter)
        return kQuarter[m_ts][beat][std::clamp(step, 0, 3)];
    return kThird[m_ts][beat][std::clamp(step, 0, 2)];
}

// Positions come from the tick count rather than from step counters, so that
// bars stay where the bar count puts them even when a beat does not divide
// evenly into steps or a beat mixes quarter and third steps.
int Metre::weightAt(StepKind kind, int64_t pos) const
{
    const int64_t inBar = pos % ticksPerBar();
    const int beat = static_cast<int>(inBar / m_ticksPerBeat);
    const int step = static_cast<int>((inBar % m_ticksPerBeat) / stepTicks(kind));
    return weight(kind, beat, step);
}

}  // namespace tonalyze
