#include "SynthTake.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace melodrift::cli::test {

std::vector<int16_t> SingTake(const std::vector<SungNote>& notes, int tempo, int beatsPerBar)
{
    const double beat = 60.0 / tempo;
    std::vector<int16_t> samples(static_cast<size_t>(beatsPerBar * beat * kTakeRate), 0);
    for (const SungNote& n : notes) {
        const size_t count = static_cast<size_t>(n.beats * beat * kTakeRate);
        const double hz = n.midi < 0 ? 0 : 440.0 * std::pow(2.0, (n.midi - 69) / 12.0);
        double phase = 0;
        for (size_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / kTakeRate;
            const double fade = std::min({1.0, t / 0.02, (static_cast<double>(count - i) / kTakeRate) / 0.03});
            const double f = hz * std::pow(2.0, 0.2 / 12.0 * std::sin(2 * M_PI * 5.5 * t));
            phase += 2 * M_PI * f / kTakeRate;
            double v = 0;
            for (int h = 1; h <= 6; ++h)
                v += std::sin(h * phase) / h;
            samples.push_back(static_cast<int16_t>(n.midi < 0 ? 0 : 9000 * fade * v));
        }
    }
    samples.resize(samples.size() + kTakeRate / 2, 0);
    return samples;
}

void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate)
{
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto data = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + data);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * 2));
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(data);
    out.write(reinterpret_cast<const char*>(samples.data()), data);
}

} // namespace melodrift::cli::test
