// Splits one voiced run of the pitch track into steady segments and glides,
// repairing octave jumps and single-frame dropouts on the way (the repairs
// are written back into the pitch track).
#pragma once

#include "Segment.h"

#include <cstdint>
#include <list>

namespace pitchlore {

class RunSegmenter {
public:
    // end: frames below it may start or continue a run (whole beats - 1);
    // count: frames that exist; silence: amplitude a voiced frame exceeds.
    RunSegmenter(double* pitch, const double* amplitude, uint32_t count, uint32_t end, double silence);

    // Segments the run starting at frame first; returns the first frame after
    // it. segments receives the run's pieces in order.
    uint32_t run(uint32_t first, std::list<Segment>& segments);

private:
    using Iter = std::list<Segment>::iterator;

    double pitchAt(uint32_t i) const { return i < m_count ? m_pitch[i] : -1.0; }
    bool voiced(uint32_t i) const;
    bool continues(uint32_t i) const;
    bool repairJump(uint32_t i);
    void extend(uint32_t i);
    void moveTailToGlide();
    void deviate(uint32_t i);
    void deviateSingle(uint32_t i, int d);
    bool shiftStart(uint32_t i, int d);
    void deviateShort(uint32_t i, int d);
    void startSteady(uint32_t i, bool append);
    double mean() const { return m_sum / (m_seg->frames + 1); }

    double* m_pitch;
    const double* m_amplitude;
    uint32_t m_count;
    uint32_t m_end;
    double m_silence;

    std::list<Segment>* m_list = nullptr;
    Iter m_seg;
    Iter m_glide;
    bool m_hasGlide = false;
    double m_sum = 0;
    int32_t m_maxMarker = 0;
    int32_t m_minMarker = 0;
};

}  // namespace pitchlore
