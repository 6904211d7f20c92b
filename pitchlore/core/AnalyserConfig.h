// The analyser's configuration for one take and the values derived from it.
#pragma once

#include <cstdint>
#include <optional>

namespace pitchlore {

inline constexpr double kSampleRate = 44100.0;

struct AnalyserConfig {
    int32_t tempo = 0;
    int32_t TS = 0;
    int32_t FFT = 0;
    uint32_t FPB = 0;
    uint32_t BPB = 0;
    uint32_t NPB = 0;
    uint32_t lowestBin = 0;
    uint32_t highestBin = 0;  // exclusive
    double referenceBin = 0;  // fractional bin of 440 Hz

    // Validates the four settings; nullopt when one is out of range. The
    // bounds on FFT and FPB keep block sizes and file-borne values sane.
    static std::optional<AnalyserConfig> make(int32_t tempo, int32_t TS, int32_t FFT, uint32_t FPB);

    uint32_t gridUnit() const { return FPB / NPB; }
    uint32_t framesPerBar() const { return FPB * BPB; }
    uint32_t framesPerBlock() const { return 8 * BPB * FPB; }
};

inline constexpr int32_t kMinTempo = 50;
inline constexpr int32_t kMaxTempo = 220;
inline constexpr int32_t kMaxFFT = 262144;
inline constexpr uint32_t kMaxFPB = 4096;

}  // namespace pitchlore
