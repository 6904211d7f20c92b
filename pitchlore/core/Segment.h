// A piece of a voiced run: a steady stretch around one pitch or a glide
// between two pitches; silences and rests are steady with mean -1.
#pragma once

#include <cstdint>

namespace pitchlore {

enum SegmentKind : int32_t { kFalling = -1, kSteady = 0, kRising = 1 };

struct Segment {
    int32_t kind = kSteady;
    int32_t frames = 0;
    double high = -1.0;
    double low = -1.0;
    double mean = -1.0;
    // First frame of a steady segment (it is counted by what precedes it).
    uint32_t start = 0;

    double middle() const { return kind == kSteady ? mean : (high + low) / 2; }
};

// What the segmentation produces before notes are formed: a pitch (mean,
// -1 for a rest) and a length in frames.
struct PitchSpan {
    double mean = -1.0;
    int32_t frames = 0;
};

}  // namespace pitchlore
