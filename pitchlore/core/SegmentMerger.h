// Turns one run's segments into notes: segments of one pitch separated by
// glides or short blips merge; pieces too short for the grid are shared out
// to their neighbours or become rests.
#pragma once

#include "Segment.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitchlore {

class SegmentMerger {
public:
    // unit: grid unit in frames; framesPerBeat decides when left-over frames
    // are a rest of their own.
    SegmentMerger(uint32_t unit, uint32_t framesPerBeat);

    // Appends the run's notes (and rests) to out.
    void merge(const std::vector<Segment>& segments, std::vector<PitchSpan>& out) const;

private:
    struct Scan {
        double reference = 0;
        int32_t frames = 0;
        int merges = 0;
        size_t last = 0;
    };
    Scan scan(const std::vector<Segment>& segments, size_t d) const;

    int32_t m_limitA;
    int32_t m_limitB;
    int32_t m_half;
    int32_t m_framesPerBeat;
};

}  // namespace pitchlore
