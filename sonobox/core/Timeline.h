#pragma once

#include <cstdint>

#include "AudioFormat.h"

namespace melodrift::sonobox {

// Tempo and metre, and the conversion of bar positions to samples.
struct Timeline {
    int tempo = 75;
    int metre = 0;

    static int BeatsPerBar(int metre) { return metre == 0 ? 4 : metre == 2 ? 2 : 3; }
    int BeatsPerBar() const { return BeatsPerBar(metre); }
    double SamplesPerBeat() const { return 60.0 * kSampleRate / tempo; }
    double SamplesPerBar() const { return SamplesPerBeat() * BeatsPerBar(); }
    std::int64_t BarToSample(double bar) const { return static_cast<std::int64_t>(bar * SamplesPerBar() + 0.5); }
};

// One bar of metronome clicks (stereo): a higher, louder first beat.
StereoBuffer MakeClickBar(const Timeline& timeline);

} // namespace melodrift::sonobox
