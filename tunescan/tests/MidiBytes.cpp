#include "MidiBytes.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace testmidi {

namespace {

void varlen(std::vector<uint8_t>& out, uint32_t v)
{
    uint8_t buf[5];
    int n = 0;
    buf[n++] = v & 0x7F;
    while ((v >>= 7) != 0)
        buf[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
    while (n > 0)
        out.push_back(buf[--n]);
}

void be(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

TrackBytes& TrackBytes::delta(uint32_t ticks)
{
    varlen(m_bytes, ticks);
    return *this;
}

TrackBytes& TrackBytes::raw(std::vector<uint8_t> bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

TrackBytes& TrackBytes::tempo(int bpm, uint32_t at)
{
    uint32_t micros = static_cast<uint32_t>(60000000 / bpm);
    delta(at).raw({0xFF, 0x51, 0x03});
    be(m_bytes, micros, 3);
    m_noteOnSent = false;
    return *this;
}

TrackBytes& TrackBytes::metre(int numerator, int denominator, uint32_t at)
{
    uint8_t power = 0;
    while ((1 << power) < denominator)
        ++power;
    delta(at).raw({0xFF, 0x58, 0x04, static_cast<uint8_t>(numerator), power, 24, 8});
    m_noteOnSent = false;
    return *this;
}

TrackBytes& TrackBytes::note(int pitch, uint32_t length, uint32_t gap, bool runningStatus)
{
    uint8_t p = static_cast<uint8_t>(pitch);
    delta(gap);
    if (!(runningStatus && m_noteOnSent))
        raw({0x90});
    raw({p, 100});
    delta(length);
    if (runningStatus)
        raw({p, 0});
    else
        raw({0x80, p, 64});
    m_noteOnSent = runningStatus;
    return *this;
}

TrackBytes& TrackBytes::end()
{
    delta(0).raw({0xFF, 0x2F, 0x00});
    return *this;
}

MidiBytes::MidiBytes(int format, uint16_t division)
    : m_format(format)
    , m_division(division)
{
}

TrackBytes& MidiBytes::track()
{
    m_tracks.emplace_back();
    return m_tracks.back();
}

std::vector<uint8_t> MidiBytes::bytes() const
{
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    be(out, static_cast<uint32_t>(m_format), 2);
    be(out, static_cast<uint32_t>(m_tracks.size()), 2);
    be(out, m_division, 2);
    for (const TrackBytes& t : m_tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        be(out, static_cast<uint32_t>(t.bytes().size()), 4);
        out.insert(out.end(), t.bytes().begin(), t.bytes().end());
    }
    return out;
}

std::string MidiBytes::writeFile(const std::string& name) const { return writeTemp(name, bytes()); }

std::vector<uint8_t> melodyFile(int numerator, int denominator, int bpm, const Melody& melody, uint16_t division,
                                bool runningStatus)
{
    MidiBytes file(0, division);
    TrackBytes& t = file.track();
    t.metre(numerator, denominator).tempo(bpm);
    uint32_t gap = 0;
    for (const auto& [pitch, length] : melody.notes) {
        if (pitch < 0) {
            gap += length;
            continue;
        }
        t.note(pitch, length, gap, runningStatus);
        gap = 0;
    }
    t.end();
    return file.bytes();
}

std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("melodrift-midi-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace testmidi
