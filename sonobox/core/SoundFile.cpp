#include "SoundFile.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace melodrift::sonobox {
namespace {

struct SndCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndHandle = std::unique_ptr<SNDFILE, SndCloser>;

// A growable or read-only byte buffer behind libsndfile's virtual I/O.
struct MemoryFile {
    const std::uint8_t* data = nullptr;
    std::vector<std::uint8_t>* sink = nullptr;
    sf_count_t size = 0;
    sf_count_t position = 0;
};

sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->size; }

sf_count_t MemSeek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file->position : file->size;
    sf_count_t target = base + offset;
    if (target < 0)
        return -1;
    file->position = target;
    return target;
}

sf_count_t MemRead(void* ptr, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const std::uint8_t* bytes = file->sink ? file->sink->data() : file->data;
    if (count <= 0 || file->position >= file->size)
        return 0;
    sf_count_t n = std::min(count, file->size - file->position);
    std::memcpy(ptr, bytes + file->position, static_cast<std::size_t>(n));
    file->position += n;
    return n;
}

sf_count_t MemWrite(const void* ptr, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    if (!file->sink || count <= 0)
        return 0;
    auto end = static_cast<std::size_t>(file->position + count);
    if (end > file->sink->size())
        file->sink->resize(end);
    std::memcpy(file->sink->data() + file->position, ptr, static_cast<std::size_t>(count));
    file->position += count;
    file->size = std::max<sf_count_t>(file->size, file->position);
    return count;
}

sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

SF_VIRTUAL_IO MemoryIo() { return SF_VIRTUAL_IO{MemLength, MemSeek, MemRead, MemWrite, MemTell}; }

std::optional<MonoBuffer> ReadAllMono(SNDFILE* file, const SF_INFO& info)
{
    if (info.channels < 1 || info.channels > 64 || info.samplerate < 1000 || info.samplerate > 384000 || info.frames < 0)
        return std::nullopt;
    MonoBuffer mono;
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    for (;;) {
        sf_count_t got = sf_readf_float(file, block.data(), 4096);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0;
            for (int c = 0; c < info.channels; ++c)
                sum += block[static_cast<std::size_t>(i * info.channels + c)];
            mono.push_back(sum / static_cast<float>(info.channels));
        }
    }
    if (info.samplerate != kSampleRate && !mono.empty()) {
        mono = Resample(mono, info.samplerate, kSampleRate);
        if (mono.empty())
            return std::nullopt;
    }
    return mono;
}

} // namespace

MonoBuffer Resample(const MonoBuffer& input, int fromRate, int toRate)
{
    if (input.empty() || fromRate == toRate || fromRate <= 0 || toRate <= 0)
        return input;
    // The length stays what the old linear conversion gave, so a take keeps
    // its place on the timeline to the sample.
    const auto frames = static_cast<std::size_t>(static_cast<double>(input.size()) * toRate / fromRate);
    MonoBuffer out(frames, 0.0f);
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    std::size_t done = 0;
    const soxr_error_t error = soxr_oneshot(fromRate, toRate, 1, input.data(), input.size(), nullptr, out.data(),
                                            out.size(), &done, &io, &quality, nullptr);
    if (error)
        return {};
    return out; // a short tail the filter did not fill stays silent
}

std::optional<MonoBuffer> ReadMonoFile(const std::string& path)
{
    SF_INFO info{};
    SndHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        return std::nullopt;
    return ReadAllMono(file.get(), info);
}

std::optional<MonoBuffer> DecodeMonoMemory(const std::uint8_t* data, std::size_t size)
{
    if (!data || size == 0)
        return std::nullopt;
    MemoryFile memory{data, nullptr, static_cast<sf_count_t>(size), 0};
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    SndHandle file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!file)
        return std::nullopt;
    return ReadAllMono(file.get(), info);
}

std::optional<MonoBuffer> DecodeFlacTake(const std::uint8_t* data, std::size_t size, std::size_t frames)
{
    if (!data || size == 0 || frames > kMaxTakeFrames)
        return std::nullopt;
    MemoryFile memory{data, nullptr, static_cast<sf_count_t>(size), 0};
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    SndHandle file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    // Takes are written mono at the engine's rate; a stream that says it is
    // longer than its take is refused before a sample is decoded.
    if (!file || info.channels != 1 || info.samplerate != kSampleRate ||
        (info.frames > 0 && info.frames != SF_COUNT_MAX && static_cast<std::uint64_t>(info.frames) != frames))
        return std::nullopt;
    MonoBuffer mono;
    float block[4096];
    // One frame more than declared is enough to know the take is longer.
    while (mono.size() <= frames) {
        const std::size_t want = std::min<std::size_t>(std::size(block), frames + 1 - mono.size());
        const sf_count_t got = sf_readf_float(file.get(), block, static_cast<sf_count_t>(want));
        if (got <= 0)
            break;
        mono.insert(mono.end(), block, block + got);
    }
    if (mono.size() != frames)
        return std::nullopt;
    return mono;
}

std::vector<std::uint8_t> EncodeFlac(const MonoBuffer& samples)
{
    std::vector<std::uint8_t> bytes;
    MemoryFile memory{nullptr, &bytes, 0, 0};
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    {
        SndHandle file(sf_open_virtual(&io, SFM_WRITE, &info, &memory));
        if (!file)
            return {};
        // Clip before conversion so loud takes do not wrap around.
        sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
        if (sf_writef_float(file.get(), samples.data(), static_cast<sf_count_t>(samples.size())) !=
            static_cast<sf_count_t>(samples.size()))
            return {};
    }
    bytes.resize(static_cast<std::size_t>(memory.size));
    return bytes;
}

bool CanWriteMp3()
{
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    return sf_format_check(&info) == SF_TRUE;
}

bool WriteAudioFile(const std::string& path, FileKind kind, const float* interleaved, std::size_t frames,
                    int channels, const std::function<bool(std::size_t, std::size_t)>& progress)
{
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = channels;
    info.format = kind == FileKind::Wav ? (SF_FORMAT_WAV | SF_FORMAT_PCM_16) : (SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    if (!sf_format_check(&info))
        return false;
    SndHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file)
        return false;
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (kind == FileKind::Mp3) {
        double quality = 0.3; // 0 best .. 1 smallest
        sf_command(file.get(), SFC_SET_COMPRESSION_LEVEL, &quality, sizeof quality);
    }
    constexpr std::size_t kBlock = 44100;
    for (std::size_t done = 0; done < frames;) {
        std::size_t n = std::min(kBlock, frames - done);
        if (sf_writef_float(file.get(), interleaved + done * channels, static_cast<sf_count_t>(n)) !=
            static_cast<sf_count_t>(n))
            return false;
        done += n;
        if (progress && !progress(done, frames))
            return false;
    }
    if (frames == 0 && progress && !progress(0, 0))
        return false;
    return sf_error(file.get()) == SF_ERR_NO_ERROR;
}

} // namespace melodrift::sonobox
