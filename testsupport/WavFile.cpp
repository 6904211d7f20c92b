#include "WavFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace melodrift::testsupport {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void Put16(std::FILE* f, uint16_t v)
{
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void Put32(std::FILE* f, uint32_t v)
{
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

// Format tag 1 is PCM, 3 IEEE float; the data follows as little-endian bytes.
bool Write(const std::string& path, const void* data, std::size_t count, int bytesPerSample, uint16_t tag, int rate,
           int channels)
{
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f)
        return false;
    const auto bytes = static_cast<uint32_t>(count * static_cast<std::size_t>(bytesPerSample));
    const auto blockAlign = static_cast<uint16_t>(channels * bytesPerSample);
    std::fwrite("RIFF", 1, 4, f.get());
    Put32(f.get(), 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f.get());
    Put32(f.get(), 16);
    Put16(f.get(), tag);
    Put16(f.get(), static_cast<uint16_t>(channels));
    Put32(f.get(), static_cast<uint32_t>(rate));
    Put32(f.get(), static_cast<uint32_t>(rate) * blockAlign);
    Put16(f.get(), blockAlign);
    Put16(f.get(), static_cast<uint16_t>(bytesPerSample * 8));
    std::fwrite("data", 1, 4, f.get());
    Put32(f.get(), bytes);
    // The machines we build on are little-endian, as WAV is.
    std::fwrite(data, 1, bytes, f.get());
    return std::ferror(f.get()) == 0;
}

} // namespace

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels)
{
    return Write(path, samples.data(), samples.size(), 2, 1, rate, channels);
}

bool WriteWav(const std::string& path, const std::vector<float>& samples, int rate, int channels)
{
    return Write(path, samples.data(), samples.size(), 4, 3, rate, channels);
}

std::vector<float> Audio::Mono() const
{
    std::vector<float> mono(Frames());
    for (std::size_t i = 0; i < mono.size(); ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
        mono[i] = sum / static_cast<float>(channels);
    }
    return mono;
}

float Audio::Peak() const
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

Audio ReadAudio(const std::string& path)
{
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return audio;
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_float(file, block.data(), 4096)) > 0)
        audio.samples.insert(audio.samples.end(), block.begin(), block.begin() + n * info.channels);
    sf_close(file);
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    return audio;
}

} // namespace melodrift::testsupport
