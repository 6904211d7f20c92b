#include "KeyProfile.h"

#include <numeric>
#include <vector>

#include "StepChooser.h"

namespace tonalyze {

KeyProfiles KeyProfileBuilder::build(const NoteSpan& melody) const
{
    const size_t n = melody.size();
    std::vector<int64_t> len(melody.lengths.begin(), melody.lengths.end());
    // A rest after a note lets the note ring on: the note takes its ticks.
    for (size_t i = 0; i < n; ++i) {
        if (isRest(melody.notes[i]))
            continue;
        for (size_t j = i + 1; j < n && isRest(melody.notes[j]); ++j) {
            len[i] += len[j];
            len[j] = 0;
        }
    }
    const int64_t bar = m_metre.ticksPerBar();
    const int pickup = (n > 0 && isRest(melody.notes[0]) && 2 * int64_t{melody.lengths[0]} > bar) ? 1 : 0;
    const int64_t openingEnd = pickup * bar + ((m_metre.beatsPerBar() + 1) / 2) * m_metre.ticksPerBeat();

    KeyProfiles out;
    StepChooser chooser(m_metre);
    int64_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        const StepKind kind = chooser.choose(len[i]);
        if (!isRest(melody.notes[i])) {
            addNote(out, melody.notes[i] % 12, pos, len[i], kind, openingEnd);
            out.finalPitchClass = melody.notes[i] % 12;
        }
        pos += len[i];
    }
    return out;
}

void KeyProfileBuilder::addNote(KeyProfiles& out, int pitchClass, int64_t pos, int64_t length, StepKind kind,
                                int64_t openingEnd) const
{
    const int64_t step = m_metre.stepTicks(kind);
    const int64_t steps = length / step;
    int64_t k = 0;
    for (; k < steps && pos + k * step < openingEnd; ++k) {
        const int w = m_metre.weightAt(kind, pos + k * step);
        out.whole[pitchClass] += w;
        out.opening[pitchClass] += w;
    }
    // Past the opening the weights repeat every lcm(step, bar) ticks, so a
    // very long note costs no more than two such periods.
    const int64_t start = pos + k * step;
    const int64_t left = steps - k;
    const int64_t period = m_metre.ticksPerBar() / std::gcd(step, m_metre.ticksPerBar());
    if (left <= 2 * period) {
        out.whole[pitchClass] += sumWeights(kind, start, left);
        return;
    }
    const int64_t full = left / period;
    out.whole[pitchClass] += full * sumWeights(kind, start, period) + sumWeights(kind, start, left % period);
}

int64_t KeyProfileBuilder::sumWeights(StepKind kind, int64_t pos, int64_t steps) const
{
    const int64_t step = m_metre.stepTicks(kind);
    int64_t sum = 0;
    for (int64_t k = 0; k < steps; ++k)
        sum += m_metre.weightAt(kind, pos + k * step);
    return sum;
}

}  // namespace tonalyze
