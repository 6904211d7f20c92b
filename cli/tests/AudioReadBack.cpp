#include "AudioReadBack.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace melodrift::cli::test {

namespace {

std::vector<uint8_t> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

} // namespace

AudioInfo ReadWavInfo(const std::string& path)
{
    AudioInfo info;
    const std::vector<uint8_t> b = Bytes(path);
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return info;
    int blockAlign = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = Le32(&b[at + 4]);
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16 && at + 24 <= b.size()) {
            info.channels = Le16(&b[at + 10]);
            info.rate = static_cast<int>(Le32(&b[at + 12]));
            blockAlign = Le16(&b[at + 20]);
        } else if (std::memcmp(&b[at], "data", 4) == 0 && blockAlign > 0 && info.rate > 0) {
            if (at + 8 + size > b.size())
                return info;   // cut short
            info.frames = static_cast<long>(size / static_cast<uint32_t>(blockAlign));
            info.seconds = static_cast<double>(info.frames) / info.rate;
            info.ok = true;
            return info;
        }
        at += 8 + size + (size & 1);
    }
    return info;
}

AudioInfo ReadMp3Info(const std::string& path)
{
    static const int kBitrates[2][16] = {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},   // MPEG-2/2.5 L3
                                         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}; // MPEG-1 L3
    static const int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    AudioInfo info;
    const std::vector<uint8_t> b = Bytes(path);
    size_t at = 0;
    if (b.size() >= 10 && std::memcmp(b.data(), "ID3", 3) == 0)
        at = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
    double seconds = 0;
    while (at + 4 <= b.size()) {
        const uint8_t* h = &b[at];
        const int version = (h[1] >> 3) & 3;   // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
        const int layer = (h[1] >> 1) & 3;     // 1 layer III
        const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || version == 1 || layer != 1 || rateIndex == 3 ||
            bitrateIndex == 0 || bitrateIndex == 15)
            break;
        const bool mpeg1 = version == 3;
        const int rate = kRates[version][rateIndex];
        const int bitrate = kBitrates[mpeg1 ? 1 : 0][bitrateIndex] * 1000;
        const int samples = mpeg1 ? 1152 : 576;
        const size_t length = static_cast<size_t>(samples / 8 * bitrate / rate + ((h[2] >> 1) & 1));
        if (length < 4)
            break;
        info.rate = rate;
        info.channels = (h[3] >> 6) == 3 ? 1 : 2;
        seconds += static_cast<double>(samples) / rate;
        ++info.frames;
        at += length;
    }
    // Trailing tags may follow the last frame; anything else means the
    // stream broke off.
    const bool clean = at >= b.size() || (b.size() - at >= 3 && std::memcmp(&b[at], "TAG", 3) == 0);
    info.ok = info.frames > 0 && clean;
    info.seconds = seconds;
    return info;
}

} // namespace melodrift::cli::test
