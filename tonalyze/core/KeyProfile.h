// Pitch-class profiles of a melody weighted by length and metric position:
// one for the whole melody and one for its opening.
#pragma once

#include "KeyRanking.h"
#include "Metre.h"
#include "NoteMelody.h"

namespace tonalyze {

struct KeyProfiles {
    PitchProfile whole{};
    PitchProfile opening{};
    int finalPitchClass = -1;  // of the melody's last pitched note
};

class KeyProfileBuilder {
public:
    explicit KeyProfileBuilder(const Metre& metre) : m_metre(metre) {}

    KeyProfiles build(const NoteSpan& melody) const;

private:
    void addNote(KeyProfiles& out, int pitchClass, int64_t pos, int64_t length, StepKind kind,
                 int64_t openingEnd) const;
    int64_t sumWeights(StepKind kind, int64_t pos, int64_t steps) const;

    const Metre& m_metre;
};

}  // namespace tonalyze
