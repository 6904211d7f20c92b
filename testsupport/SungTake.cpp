#include "SungTake.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace melodrift::testsupport {

std::vector<float> Sing(const std::vector<SungNote>& melody, int tempo, double leadBeats, const Voice& voice,
                        double tailSeconds)
{
    const double rate = voice.rate;
    const double samplesPerBeat = 60.0 * rate / tempo;
    std::vector<float> out(static_cast<std::size_t>(std::lround(leadBeats * samplesPerBeat)), 0.0f);
    double phase = 0;
    for (const SungNote& n : melody) {
        const auto count = static_cast<std::size_t>(std::lround(n.beats * samplesPerBeat));
        const auto breath = std::min(
            count, static_cast<std::size_t>(voice.breath * rate + voice.breathShare * static_cast<double>(count)));
        const std::size_t voiced = n.midi < 0 ? 0 : count - breath;
        const double hz = 440.0 * std::pow(2.0, (n.midi + voice.detune - 69) / 12.0);
        for (std::size_t i = 0; i < count; ++i) {
            double v = 0;
            if (i < voiced) {
                const double t = static_cast<double>(i) / rate;
                const double depth = voice.vibratoRise > 0 ? std::min(1.0, t / voice.vibratoRise) : 1.0;
                const double cents = depth * voice.vibratoCents * std::sin(2 * std::numbers::pi * voice.vibratoHz * t);
                phase += 2 * std::numbers::pi * hz * std::pow(2.0, cents / 1200.0) / rate;
                const double left = static_cast<double>(voiced - i) / rate;
                const double envelope = std::min({1.0, voice.attack > 0 ? t / voice.attack : 1.0,
                                                  voice.release > 0 ? left / voice.release : 1.0});
                for (int h = 1; h <= voice.harmonics; ++h)
                    v += std::sin(h * phase) / std::pow(h, voice.rolloff);
                v *= voice.level * envelope;
            }
            out.push_back(static_cast<float>(v));
        }
    }
    out.resize(out.size() + static_cast<std::size_t>(tailSeconds * rate), 0.0f);
    if (voice.noise > 0) {
        std::mt19937 random(voice.seed);
        std::normal_distribution<double> gauss(0.0, voice.noise);
        for (float& s : out)
            s += static_cast<float>(gauss(random));
    }
    return out;
}

std::vector<int> SungPitches(const std::vector<SungNote>& melody)
{
    std::vector<int> out;
    for (const SungNote& n : melody)
        if (n.midi >= 0 && (out.empty() || out.back() != n.midi))
            out.push_back(n.midi);
    return out;
}

std::vector<int16_t> ToPcm16(const std::vector<float>& samples)
{
    std::vector<int16_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(std::clamp(samples[i], -1.0f, 1.0f) * 32767.0f));
    return out;
}

} // namespace melodrift::testsupport
