// Chooses the walking step of a note: a quarter beat when the length is a
// multiple of it, else a third beat, else the previous note's choice.
#pragma once

#include <cstdint>

#include "Metre.h"

namespace tonalyze {

class StepChooser {
public:
    explicit StepChooser(const Metre& metre) : m_metre(metre) {}

    // Logs "非法音符时值输入" when the length fits neither step.
    StepKind choose(int64_t length);

private:
    const Metre& m_metre;
    StepKind m_previous = StepKind::Quarter;
};

}  // namespace tonalyze
