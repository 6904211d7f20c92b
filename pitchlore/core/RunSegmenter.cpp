#include "RunSegmenter.h"

#include <algorithm>
#include <cmath>

namespace pitchlore {

namespace {

// Truncation toward zero, as the thresholds below are meant.
long trunc(double v) { return static_cast<long>(v); }

}  // namespace

RunSegmenter::RunSegmenter(double* pitch, const double* amplitude, uint32_t count, uint32_t end, double silence)
    : m_pitch(pitch)
    , m_amplitude(amplitude)
    , m_count(count)
    , m_end(end)
    , m_silence(silence)
{
}

bool RunSegmenter::voiced(uint32_t i) const
{
    return i < m_count && m_pitch[i] >= 0 && m_amplitude[i] > m_silence;
}

bool RunSegmenter::continues(uint32_t i) const
{
    return (i < m_end && voiced(i)) || voiced(i + 1);
}

uint32_t RunSegmenter::run(uint32_t first, std::list<Segment>& segments)
{
    m_list = &segments;
    m_hasGlide = false;
    startSteady(first, true);
    uint32_t i = first + 1;
    for (; continues(i); ++i) {
        if (!repairJump(i))
            break;
        if (std::fabs(m_pitch[i] - mean()) < 0.5)
            extend(i);
        else
            deviate(i);
    }
    if (m_seg->frames == 0)
        segments.erase(m_seg);
    return i;
}

// Returns false when the jump cannot be explained and the run ends here.
bool RunSegmenter::repairJump(uint32_t i)
{
    double prev = m_pitch[i - 1];
    double cur = m_pitch[i];
    double next = pitchAt(i + 1);
    if (std::fabs(cur - prev) <= 10)
        return true;
    bool near = std::labs(trunc(next - prev)) < 5;
    if (cur > 0) {
        int from = cur >= prev ? 1 : -4;
        for (int m = from; m < from + 4; ++m) {
            double candidate = cur - 12.0 * m;
            if (trunc(candidate - prev) == 0 || (near && trunc(candidate - next) == 0)) {
                m_pitch[i] = candidate;
                return true;
            }
        }
    }
    if (near) {
        m_pitch[i] = (prev + next) / 2;
        return true;
    }
    m_pitch[i] = -1.0;
    if (i + 1 < m_count)
        m_pitch[i + 1] = -1.0;
    return false;
}

void RunSegmenter::extend(uint32_t i)
{
    double p = m_pitch[i];
    Segment& seg = *m_seg;
    seg.frames += 1;
    m_sum += p;
    seg.mean = mean();
    double first = m_pitch[seg.start];
    if (seg.frames > 2 && (m_maxMarker == 0 || m_minMarker == 0) && std::fabs(seg.mean - first) > 0.5)
        moveTailToGlide();
    if (p > seg.high) {
        seg.high = p;
        m_maxMarker = seg.frames;
    } else if (p < seg.low) {
        seg.low = p;
        m_minMarker = seg.frames;
    }
}

// The segment's first frame belongs to the slide that led into the note.
void RunSegmenter::moveTailToGlide()
{
    Segment& seg = *m_seg;
    double first = m_pitch[seg.start];
    double second = m_pitch[seg.start + 1];
    int d = m_minMarker == 0 ? kRising : kFalling;
    bool join = m_hasGlide && ((m_glide->kind == kRising && m_minMarker == 0) ||
                               (m_glide->kind == kFalling && m_maxMarker == 0));
    if (join) {
        if (m_glide->kind == kRising)
            m_glide->high = second;
        else
            m_glide->low = second;
    } else {
        Segment glide;
        glide.kind = d;
        glide.high = d == kRising ? second : first;
        glide.low = d == kRising ? first : second;
        m_glide = m_list->insert(m_seg, glide);
        m_hasGlide = true;
    }
    m_glide->frames += 1;
    seg.frames -= 1;
    m_sum -= first;
    seg.start += 1;
    seg.mean = mean();
    if (d == kRising) {
        seg.low = second;
        m_maxMarker -= 1;
    } else {
        seg.high = second;
        m_minMarker -= 1;
    }
}

void RunSegmenter::deviate(uint32_t i)
{
    double p = m_pitch[i];
    int d = p > mean() ? kRising : kFalling;
    int32_t n = m_seg->frames;
    if (n == 0) {
        deviateSingle(i, d);
    } else if (shiftStart(i, d)) {
        return;
    } else if (n < 3) {
        deviateShort(i, d);
    } else {
        Segment glide;
        glide.kind = d;
        glide.frames = 1;
        glide.high = d == kRising ? p : m_pitch[i - 1];
        glide.low = d == kRising ? m_pitch[i - 1] : p;
        m_glide = m_list->insert(std::next(m_seg), glide);
        m_hasGlide = true;
        startSteady(i, true);
    }
}

void RunSegmenter::deviateSingle(uint32_t i, int d)
{
    double p = m_pitch[i];
    bool append = true;
    if (!(m_hasGlide && m_glide->kind == d)) {
        m_glide = m_seg;
        m_hasGlide = true;
        m_glide->kind = d;
        m_glide->frames = 0;
    } else {
        append = false;
    }
    m_glide->frames += 1;
    if (d == kRising)
        m_glide->high = p;
    else
        m_glide->low = p;
    startSteady(i, append);
}

// When the segment's first frame is its extreme on the far side and the new
// frame sits closer to the rest, the first frame was a slide: hand it over.
bool RunSegmenter::shiftStart(uint32_t i, int d)
{
    Segment& seg = *m_seg;
    double p = m_pitch[i];
    double first = m_pitch[seg.start];
    double second = m_pitch[seg.start + 1];
    double sumRest = m_sum - first;
    double meanRest = sumRest / seg.frames;
    bool extreme = d == kRising ? seg.low == first : seg.high == first;
    if (!extreme || !(std::fabs(p - meanRest) < std::fabs(meanRest - first)))
        return false;
    if (m_hasGlide && m_glide->kind == d) {
        m_glide->frames += 1;
        if (d == kRising)
            m_glide->high = second;
        else
            m_glide->low = second;
    } else {
        Segment glide;
        glide.kind = d;
        glide.frames = 1;
        glide.high = d == kRising ? second : first;
        glide.low = d == kRising ? first : second;
        m_glide = m_list->insert(m_seg, glide);
        m_hasGlide = true;
    }
    seg.high = d == kRising ? p : second;
    seg.low = d == kRising ? second : p;
    seg.start += 1;
    m_sum = sumRest + p;
    seg.mean = mean();
    return true;
}

void RunSegmenter::deviateShort(uint32_t i, int d)
{
    double p = m_pitch[i];
    Segment& seg = *m_seg;
    seg.frames += 1;
    bool append = true;
    if (!m_hasGlide) {
        seg.kind = d;
        m_glide = m_seg;
        m_hasGlide = true;
    } else if (m_glide->kind == d) {
        m_glide->frames += seg.frames;
        append = false;
    } else {
        // Up to the turning point the segment still follows the old glide.
        int32_t turn = std::clamp(d == kRising ? m_minMarker : m_maxMarker, 0, seg.frames);
        m_glide->frames += turn;
        if (d == kRising)
            m_glide->low = seg.low;
        else
            m_glide->high = seg.high;
        seg.kind = d;
        seg.frames -= turn;
        m_glide = m_seg;
    }
    if (d == kRising)
        m_glide->high = p;
    else
        m_glide->low = p;
    startSteady(i, append);
}

void RunSegmenter::startSteady(uint32_t i, bool append)
{
    if (append)
        m_seg = m_list->insert(m_list->end(), Segment{});
    double p = m_pitch[i];
    *m_seg = Segment{};
    m_seg->high = p;
    m_seg->low = p;
    m_seg->mean = p;
    m_seg->start = i;
    m_sum = p;
    m_maxMarker = 0;
    m_minMarker = 0;
}

}  // namespace pitchlore
