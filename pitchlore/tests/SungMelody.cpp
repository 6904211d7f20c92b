#include "SungMelody.h"

#include <cmath>
#include <algorithm>
#include <complex>
#include <numbers>

namespace testsignal {

using pitchlore::FrameValue;

std::vector<float> harmonicSpectrum(int FFT, double f0, const std::vector<double>& amplitudes)
{
    std::vector<float> s(static_cast<size_t>(FFT / 2), 0.0f);
    for (size_t h = 1; h <= amplitudes.size(); ++h) {
        double centre = h * f0 * FFT / 44100.0;
        for (long i = static_cast<long>(centre) - 3; i <= static_cast<long>(centre) + 4; ++i) {
            if (i < 0 || i >= static_cast<long>(s.size()))
                continue;
            double d = i - centre;
            s[static_cast<size_t>(i)] += static_cast<float>(amplitudes[h - 1] * std::exp(-d * d / 0.5));
        }
    }
    return s;
}

TrackBuilder& TrackBuilder::rest(uint32_t frames)
{
    for (uint32_t i = 0; i < frames; ++i)
        frame(-1.0, 0.0);
    return *this;
}

TrackBuilder& TrackBuilder::note(double pitch, uint32_t frames, double amplitude)
{
    for (uint32_t i = 0; i < frames; ++i)
        frame(pitch, amplitude);
    return *this;
}

TrackBuilder& TrackBuilder::frame(double pitch, double amplitude)
{
    FrameValue v;
    if (pitch >= 0) {
        v.pitch = pitch;
        v.amplitude = amplitude;
        v.frequency = 440.0 * std::pow(2.0, (pitch - 69) / 12);
    }
    m_analyser.storeFrame(m_next++, v);
    return *this;
}

std::vector<float> sing(const std::vector<SungNote>& melody, int tempo, const Voice& voice)
{
    const double rate = 44100;
    const double beat = 60.0 / tempo;
    std::mt19937 random(voice.seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::mt19937 hissRandom(voice.seed + 1);
    double lastWhite = 0;
    std::vector<float> out;
    double phase = 0;
    double t = 0;
    double total = 0;
    for (const SungNote& n : melody)
        total += n.beats * beat;
    std::vector<double> levels = voice.harmonics;
    if (levels.empty())
        for (int h = 1; h <= 8; ++h)
            levels.push_back(1.0 / h);
    for (const SungNote& n : melody) {
        size_t count = static_cast<size_t>(std::lround(n.beats * beat * rate));
        size_t voiced = n.midi < 0 ? 0 : count - static_cast<size_t>(voice.gap * rate);
        double f0 = n.midi < 0 ? 0 : 440.0 * std::pow(2.0, (n.midi + voice.detune - 69) / 12);
        for (size_t i = 0; i < count; ++i, t += 1 / rate) {
            double v = voice.noise * noise(random);
            const bool hissing = i < voiced && static_cast<double>(i) < voice.consonant * rate;
            if (hissing) {
                // Differenced white noise: most of its energy high up, as
                // in a consonant.
                double white = noise(hissRandom);
                v += voice.hissLevel * (white - lastWhite) / 2;
                lastWhite = white;
            }
            if (i < voiced) {
                double vib = voice.vibratoDepth * std::sin(2 * std::numbers::pi * voice.vibratoRate * t);
                double into = static_cast<double>(i) / rate;
                double scoop = into < voice.scoopTime ? -voice.scoop * (1 - into / voice.scoopTime) : 0.0;
                double drift = total > 0 ? voice.drift * t / total : 0.0;
                phase += 2 * std::numbers::pi * f0 * std::pow(2.0, (vib + scoop + drift) / 12) / rate;
                double env = std::min({1.0, static_cast<double>(i) / (0.01 * rate), static_cast<double>(voiced - i) / (0.01 * rate)});
                if (hissing)
                    env *= 0.75;
                for (size_t h = 1; h <= levels.size(); ++h)
                    v += env * 0.3 * levels[h - 1] * std::sin(static_cast<double>(h) * phase);
            }
            out.push_back(static_cast<float>(v));
        }
    }
    return out;
}

namespace {

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w(std::cos(2 * std::numbers::pi / len), -std::sin(2 * std::numbers::pi / len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk(1, 0);
            for (size_t k = 0; k < len / 2; ++k, wk *= w) {
                auto u = a[i + k];
                auto v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

}  // namespace

std::vector<std::vector<float>> frames(const std::vector<float>& samples, int FFT, double hop)
{
    std::vector<double> window(static_cast<size_t>(FFT));
    for (int i = 0; i < FFT; ++i)
        window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / FFT);
    std::vector<std::vector<float>> out;
    std::vector<std::complex<double>> buf(static_cast<size_t>(FFT));
    for (size_t i = 0;; ++i) {
        size_t start = static_cast<size_t>(std::lround(i * hop));
        if (start + static_cast<size_t>(FFT) > samples.size())
            break;
        for (size_t k = 0; k < buf.size(); ++k)
            buf[k] = samples[start + k] * window[k];
        fft(buf);
        std::vector<float> mag(static_cast<size_t>(FFT / 2));
        for (size_t k = 0; k < mag.size(); ++k)
            mag[k] = static_cast<float>(std::abs(buf[k]));
        out.push_back(std::move(mag));
    }
    return out;
}

}  // namespace testsignal
