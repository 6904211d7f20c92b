#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melodrift::sonobox {

// Everything inside the engine runs at one rate; files at other rates are
// converted when they are read.
constexpr int kSampleRate = 44100;

// Mono audio: one float per sample, nominal range -1..1.
using MonoBuffer = std::vector<float>;

// Stereo audio, interleaved left/right.
using StereoBuffer = std::vector<float>;

inline std::size_t StereoFrames(const StereoBuffer& buffer) { return buffer.size() / 2; }

// Streams as the program numbers them.
enum Stream : int {
    kStreamOutput = 0,
    kStreamMicrophone = 1,
    kStreamMelodyTake = 2,
    kStreamBaseAccompaniment = 3,
    kStreamFullAccompaniment = 4,
    kStreamVoice = 5,
    kStreamCount = 6,
};

inline std::int64_t MsToSamples(double ms) { return static_cast<std::int64_t>(ms * kSampleRate / 1000.0 + 0.5); }
inline std::int64_t SamplesToMs(std::size_t samples) { return static_cast<std::int64_t>(samples * 1000ull / kSampleRate); }

} // namespace melodrift::sonobox
