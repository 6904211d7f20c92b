// A frame's spectral shape, and where along a take it changes: the cue of a
// new syllable sung on the same pitch, which the level alone misses.
#pragma once

#include "FrameTracks.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitchlore {

// spectrum: bins magnitudes of an FFT of size fft; fundamental: the frame's
// fractional fundamental bin, 0 when unvoiced. Nothing outside [0, bins) is
// ever read.
FrameShape measureShape(const float* spectrum, size_t bins, int32_t fft, double fundamental);

// For each of count frames, how much noise above 1.6 kHz it gains over the
// frame before relative to the rest of its spectrum (the consonant of a new
// syllable), in units of the take's typical change between voiced frames.
// voiced: count flags. Empty without shapes.
std::vector<double> consonantRise(const FrameShape* shapes, uint32_t count, const std::vector<bool>& voiced);

}  // namespace pitchlore
