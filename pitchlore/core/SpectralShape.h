// A frame's spectral shape, and where along a take it changes: the cue of a
// new syllable sung on the same pitch, which the level alone misses.
#pragma once

#include "FrameTracks.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitchlore {

// Measures frames' shapes for one transform size; the band weights are worked
// out once.
class ShapeMeter {
public:
    // bins: the magnitudes each spectrum holds (FFT/2).
    ShapeMeter(int32_t fft, size_t bins);

    // fundamental: the frame's fractional fundamental bin, 0 when unvoiced.
    // Nothing outside [0, bins) is ever read.
    FrameShape measure(const float* spectrum, double fundamental) const;

private:
    struct Band {
        size_t from = 0;
        std::vector<double> weights;  // of bins from, from + 1, ...
    };
    double m_binHz = 0;
    size_t m_bins = 0;
    std::vector<Band> m_bands;
};

// How loud a frame's spectrum is below the hiss bands, as the natural log of
// an amplitude (comparable between frames, not with the tracks' amplitude).
// Measured whether or not a pitch was found.
double voiceLoudness(const FrameShape& shape);

// For each of count frames, how much noise above 1.9 kHz it gains over the
// frame before relative to the rest of its spectrum (the consonant of a new
// syllable), in units of the typical change between the voiced frames within
// reach frames of it. voiced: count flags. Empty without shapes.
std::vector<double> consonantRise(const FrameShape* shapes, uint32_t count, const std::vector<bool>& voiced,
                                  uint32_t reach);

}  // namespace pitchlore
