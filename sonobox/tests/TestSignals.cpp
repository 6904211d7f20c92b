#include "TestSignals.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <stdexcept>

namespace melodrift::sonobox::test {

MonoBuffer SingMelody(const std::vector<SungNote>& notes, int tempo, double leadBeats, const VoiceStyle& style)
{
    const double spb = 60.0 * kSampleRate / tempo;
    double totalBeats = leadBeats;
    for (const SungNote& n : notes)
        totalBeats += n.beats;
    MonoBuffer out(static_cast<std::size_t>((totalBeats + 1) * spb), 0.0f);
    std::mt19937 random(style.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    double beat = leadBeats;
    double phase = 0;
    for (const SungNote& n : notes) {
        auto from = static_cast<std::size_t>(beat * spb);
        auto length = static_cast<std::size_t>(n.beats * spb);
        beat += n.beats;
        if (n.midi < 0)
            continue;
        double hz = 440.0 * std::pow(2.0, (n.midi - 69) / 12.0);
        auto sung = static_cast<std::size_t>(static_cast<double>(length) * 0.92); // a breath between notes
        for (std::size_t i = 0; i < sung; ++i) {
            double t = static_cast<double>(i) / kSampleRate;
            double cents = style.vibratoCents * std::sin(2 * std::numbers::pi * 5.5 * t) * std::min(1.0, t * 3);
            phase += 2 * std::numbers::pi * hz * std::pow(2.0, cents / 1200.0) / kSampleRate;
            double envelope = std::min(std::min(1.0, t / 0.03), static_cast<double>(sung - i) / (0.03 * kSampleRate));
            double v = 0;
            for (int h = 1; h <= 6; ++h)
                v += std::sin(h * phase) / (h * h * 0.6 + 0.4);
            out[from + i] += static_cast<float>(0.2 * envelope * v);
        }
    }
    if (style.noise > 0)
        for (float& s : out)
            s += static_cast<float>(style.noise * 0.3 * gauss(random));
    return out;
}

MonoBuffer Sine(double hz, double seconds, double amplitude)
{
    MonoBuffer out(static_cast<std::size_t>(seconds * kSampleRate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kSampleRate));
    return out;
}

double ZeroCrossingHz(const float* samples, std::size_t count, std::size_t stride)
{
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < count; ++i)
        if ((samples[(i - 1) * stride] < 0) != (samples[i * stride] < 0))
            ++crossings;
    return crossings * 0.5 * kSampleRate / static_cast<double>(count);
}

double Rms(const float* samples, std::size_t count, std::size_t stride)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i * stride]) * samples[i * stride];
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

void WriteWav(const std::string& path, const MonoBuffer& samples)
{
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
}

MonoBuffer ReadMonoOf(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    MonoBuffer mono;
    if (!file)
        return mono;
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_float(file, block.data(), 4096)) > 0)
        for (sf_count_t i = 0; i < n; ++i) {
            float sum = 0;
            for (int c = 0; c < info.channels; ++c)
                sum += block[static_cast<std::size_t>(i * info.channels + c)];
            mono.push_back(sum / static_cast<float>(info.channels));
        }
    sf_close(file);
    return mono;
}

float ReadAudioPeak(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return 0.0f;
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    float peak = 0;
    sf_count_t n;
    while ((n = sf_readf_float(file, block.data(), 4096)) > 0)
        for (sf_count_t i = 0; i < n * info.channels; ++i)
            peak = std::max(peak, std::fabs(block[static_cast<std::size_t>(i)]));
    sf_close(file);
    return peak;
}

namespace {
void VarLen(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    std::uint8_t bytes[5];
    int n = 0;
    bytes[n++] = v & 0x7F;
    while (v >>= 7)
        bytes[n++] = static_cast<std::uint8_t>((v & 0x7F) | 0x80);
    while (n)
        out.push_back(bytes[--n]);
}
} // namespace

std::vector<std::uint8_t> MakeMidiFile(int tempo, const std::vector<SungNote>& notes)
{
    const std::uint32_t ppq = 192;
    std::vector<std::uint8_t> track;
    std::uint32_t usPerQuarter = 60000000u / static_cast<std::uint32_t>(tempo);
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, static_cast<std::uint8_t>(usPerQuarter >> 16),
                               static_cast<std::uint8_t>(usPerQuarter >> 8), static_cast<std::uint8_t>(usPerQuarter)});
    track.insert(track.end(), {0x00, 0xC0, 0x00});
    std::uint32_t pending = 0;
    for (const SungNote& n : notes) {
        auto ticks = static_cast<std::uint32_t>(n.beats * ppq);
        if (n.midi < 0) {
            pending += ticks;
            continue;
        }
        VarLen(track, pending);
        track.insert(track.end(), {0x90, static_cast<std::uint8_t>(n.midi), 100});
        VarLen(track, ticks);
        track.insert(track.end(), {0x80, static_cast<std::uint8_t>(n.midi), 0});
        pending = 0;
    }
    VarLen(track, pending);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, static_cast<std::uint8_t>(ppq)};
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    auto size = static_cast<std::uint32_t>(track.size());
    file.insert(file.end(), {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                             static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

std::string TempDir(const std::string& name)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("sonobox-test-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

} // namespace melodrift::sonobox::test
