#include "SegmentMerger.h"

#include <cmath>

namespace pitchlore {

SegmentMerger::SegmentMerger(uint32_t unit, uint32_t framesPerBeat)
    : m_limitA(static_cast<int32_t>(0.6 * unit))
    , m_limitB(static_cast<int32_t>(0.8 * unit))
    , m_half(static_cast<int32_t>(unit / 2))
    , m_framesPerBeat(static_cast<int32_t>(framesPerBeat))
{
}

// Looks ahead from segment d for segments that continue its pitch, stepping
// over gaps shorter than most of a grid unit.
SegmentMerger::Scan SegmentMerger::scan(const std::vector<Segment>& segments, size_t d) const
{
    const Segment& start = segments[d];
    Scan s;
    s.reference = start.middle();
    s.frames = start.frames;
    s.last = d;
    double weighted = start.frames * s.reference;
    int32_t gap = 0;
    for (size_t j = d + 1; j < segments.size(); ++j) {
        const Segment& seg = segments[j];
        int32_t length = seg.frames;
        weighted += length * seg.middle();
        bool steady = seg.kind == kSteady;
        bool merges = steady ? j > d + 1 && std::fabs(seg.mean - s.reference) < 0.5
                             : seg.low < s.reference && s.reference < seg.high;
        if (merges) {
            s.merges += 1;
            s.frames += length + gap;
            s.last = j;
            gap = 0;
            if (s.merges >= 2)
                s.reference = weighted / s.frames;
            continue;
        }
        gap += length;
        if (gap + 1 > m_limitB || (steady && length + 1 > m_limitA))
            break;
    }
    return s;
}

void SegmentMerger::merge(const std::vector<Segment>& segments, std::vector<PitchSpan>& out) const
{
    int32_t pending = 0;
    size_t lastNote = 0;
    bool hasNote = false;
    size_t d = 0;
    while (d < segments.size()) {
        const Segment& seg = segments[d];
        Scan s = scan(segments, d);
        bool merged = s.merges >= 2 && s.frames + 1 > m_limitA;
        if (!merged && !(seg.kind == kSteady && seg.frames + 1 > m_half)) {
            pending += seg.frames;
            ++d;
            continue;
        }
        PitchSpan note{s.reference, s.frames};
        if (pending == 0 || pending < m_framesPerBeat / 2) {
            // A short leftover is shared with the previous note of the run.
            int32_t mine = pending / 2;
            if (hasNote) {
                note.frames += mine;
                out[lastNote].frames += pending - mine;
            } else {
                note.frames += pending;
            }
        } else {
            out.push_back(PitchSpan{-1.0, pending});
        }
        out.push_back(note);
        lastNote = out.size() - 1;
        hasNote = true;
        pending = 0;
        d = s.last + 1;
    }
    if (hasNote)
        out[lastNote].frames += pending;
    else if (pending > 0)
        out.push_back(PitchSpan{-1.0, pending});
}

}  // namespace pitchlore
