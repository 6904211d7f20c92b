#pragma once

// WAV files for the tests: written byte by byte (so a test controls exactly
// what the program reads) and read back through libsndfile.

#include "SungTake.h"

#include <cstdint>
#include <string>
#include <vector>

namespace melodrift::testsupport {

// 16-bit PCM; samples interleaved when channels > 1. False when the file
// cannot be written.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate = kTakeRate, int channels = 1);
// 32-bit float.
bool WriteWav(const std::string& path, const std::vector<float>& samples, int rate = kTakeRate, int channels = 1);

struct Audio {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved
    bool Ok() const { return rate > 0 && channels > 0; }
    std::size_t Frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
    // Channels averaged.
    std::vector<float> Mono() const;
    // Largest absolute sample.
    float Peak() const;
};

// Any format libsndfile reads; !Ok() when the file cannot be read.
Audio ReadAudio(const std::string& path);

} // namespace melodrift::testsupport
