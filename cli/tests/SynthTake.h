#pragma once

// Takes made for the tests: a voice-like tone per note after one bar of
// silence, pure silence, and WAV files of them.

#include <cstdint>
#include <string>
#include <vector>

namespace melodrift::cli::test {

struct SungNote {
    int midi;       // -1 rest
    double beats;
};

constexpr int kTakeRate = 44100;

// beatsPerBar beats of silence first, as the count-in bar of a recording.
std::vector<int16_t> SingTake(const std::vector<SungNote>& notes, int tempo, int beatsPerBar);
void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate = kTakeRate);

} // namespace melodrift::cli::test
