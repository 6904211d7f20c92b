#include "MidiBytes.h"

#include <fstream>
#include <filesystem>
#include <unistd.h>

namespace melodrift::testsupport {

namespace {

void VarLen(std::vector<uint8_t>& out, uint32_t v)
{
    uint8_t buf[5];
    int n = 0;
    buf[n++] = v & 0x7F;
    while ((v >>= 7) != 0)
        buf[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
    while (n > 0)
        out.push_back(buf[--n]);
}

void BigEndian(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

TrackBytes& TrackBytes::Delta(uint32_t ticks)
{
    VarLen(m_bytes, ticks);
    return *this;
}

TrackBytes& TrackBytes::Raw(std::vector<uint8_t> bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

TrackBytes& TrackBytes::Tempo(int bpm, uint32_t at)
{
    uint32_t micros = static_cast<uint32_t>(60000000 / bpm);
    Delta(at).Raw({0xFF, 0x51, 0x03});
    BigEndian(m_bytes, micros, 3);
    m_noteOnSent = false;
    return *this;
}

TrackBytes& TrackBytes::Metre(int numerator, int denominator, uint32_t at)
{
    uint8_t power = 0;
    while ((1 << power) < denominator)
        ++power;
    Delta(at).Raw({0xFF, 0x58, 0x04, static_cast<uint8_t>(numerator), power, 24, 8});
    m_noteOnSent = false;
    return *this;
}

TrackBytes& TrackBytes::Note(int pitch, uint32_t length, uint32_t gap, bool runningStatus)
{
    uint8_t p = static_cast<uint8_t>(pitch);
    Delta(gap);
    if (!(runningStatus && m_noteOnSent))
        Raw({0x90});
    Raw({p, 100});
    Delta(length);
    if (runningStatus)
        Raw({p, 0});
    else
        Raw({0x80, p, 64});
    m_noteOnSent = runningStatus;
    return *this;
}

TrackBytes& TrackBytes::Program(int channel, int program, uint32_t at)
{
    Delta(at).Raw({static_cast<uint8_t>(0xC0 | (channel & 0x0F)), static_cast<uint8_t>(program & 0x7F)});
    m_noteOnSent = false;
    return *this;
}

TrackBytes& TrackBytes::End()
{
    Delta(0).Raw({0xFF, 0x2F, 0x00});
    return *this;
}

MidiBytes::MidiBytes(int format, uint16_t division)
    : m_format(format)
    , m_division(division)
{
}

TrackBytes& MidiBytes::Track()
{
    m_tracks.emplace_back();
    return m_tracks.back();
}

std::vector<uint8_t> MidiBytes::Bytes() const
{
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    BigEndian(out, static_cast<uint32_t>(m_format), 2);
    BigEndian(out, static_cast<uint32_t>(m_tracks.size()), 2);
    BigEndian(out, m_division, 2);
    for (const TrackBytes& t : m_tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        BigEndian(out, static_cast<uint32_t>(t.Bytes().size()), 4);
        out.insert(out.end(), t.Bytes().begin(), t.Bytes().end());
    }
    return out;
}

std::string MidiBytes::WriteFile(const std::string& name) const { return WriteTemp(name, Bytes()); }

std::vector<uint8_t> MelodyFile(int numerator, int denominator, int bpm, const Melody& melody, uint16_t division,
                                bool runningStatus)
{
    MidiBytes file(0, division);
    TrackBytes& t = file.Track();
    t.Metre(numerator, denominator).Tempo(bpm);
    uint32_t gap = 0;
    for (const auto& [pitch, length] : melody.notes) {
        if (pitch < 0) {
            gap += length;
            continue;
        }
        t.Note(pitch, length, gap, runningStatus);
        gap = 0;
    }
    t.End();
    return file.Bytes();
}

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes)
{
    // One folder per test process, left for the system to clean: the tests
    // read the files back after the builder is gone.
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("melodrift-midi-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace melodrift::testsupport
