#include "MidiFile.h"

#include <algorithm>
#include <array>
#include <map>

namespace melodrift::tunescan {

namespace {

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes)
        : m_bytes(bytes)
    {
    }
    bool done() const { return m_pos >= m_bytes.size(); }
    size_t remaining() const { return m_bytes.size() - m_pos; }
    bool byte(uint8_t& v)
    {
        if (done())
            return false;
        v = m_bytes[m_pos++];
        return true;
    }
    bool peek(uint8_t& v) const
    {
        if (done())
            return false;
        v = m_bytes[m_pos];
        return true;
    }
    bool be(uint32_t& v, int n)
    {
        v = 0;
        for (int i = 0; i < n; ++i) {
            uint8_t b = 0;
            if (!byte(b))
                return false;
            v = (v << 8) | b;
        }
        return true;
    }
    // Variable-length quantity: at most four bytes.
    bool varlen(uint32_t& v)
    {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!byte(b))
                return false;
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }
    bool skip(uint32_t n)
    {
        if (n > remaining())
            return false;
        m_pos += n;
        return true;
    }
    std::span<const uint8_t> take(uint32_t n)
    {
        std::span<const uint8_t> s = m_bytes.subspan(m_pos, n);
        m_pos += n;
        return s;
    }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};

struct Globals {
    uint64_t tempoTime = UINT64_MAX;
    uint64_t metreTime = UINT64_MAX;
};

// Notes still sounding, by channel and pitch.
class OpenNotes {
public:
    void on(int channel, int pitch, uint64_t time, MidiTrack& track)
    {
        off(channel, pitch, time, track);  // a repeated note-on ends the first
        m_open[channel * 128 + pitch] = time;
    }
    void off(int channel, int pitch, uint64_t time, MidiTrack& track)
    {
        auto it = m_open.find(channel * 128 + pitch);
        if (it == m_open.end())
            return;
        track.notes.push_back(MidiNote{it->second, time, pitch});
        m_open.erase(it);
    }
    void closeAll(uint64_t time, MidiTrack& track)
    {
        for (const auto& [key, start] : m_open)
            track.notes.push_back(MidiNote{start, time, key % 128});
        m_open.clear();
    }

private:
    std::map<int, uint64_t> m_open;
};

bool readMeta(Reader& in, uint64_t time, MidiFile& file, Globals& g, bool& end)
{
    uint8_t type = 0;
    uint32_t length = 0;
    if (!in.byte(type) || !in.varlen(length) || length > in.remaining())
        return false;
    std::span<const uint8_t> data = in.take(length);
    if (type == 0x2F) {
        end = true;
    } else if (type == 0x51 && length >= 3 && time < g.tempoTime) {
        uint32_t micros = (uint32_t(data[0]) << 16) | (uint32_t(data[1]) << 8) | data[2];
        if (micros > 0) {
            file.microsPerQuarter = micros;
            g.tempoTime = time;
        }
    } else if (type == 0x58 && length >= 2 && time < g.metreTime && data[1] < 8) {
        file.numerator = data[0];
        file.denominator = 1 << data[1];
        g.metreTime = time;
    }
    return true;
}

bool readTrack(std::span<const uint8_t> bytes, MidiFile& file, Globals& g)
{
    Reader in(bytes);
    MidiTrack track;
    OpenNotes open;
    uint64_t time = 0;
    uint8_t status = 0;
    bool end = false;
    while (!end && !in.done()) {
        uint32_t delta = 0;
        if (!in.varlen(delta))
            return false;
        time += delta;
        uint8_t b = 0;
        if (!in.peek(b))
            return false;
        if (b & 0x80) {
            in.byte(b);
            if (b < 0xF0)
                status = b;  // only channel messages set running status
        } else if (status == 0) {
            return false;  // data byte without a status to run on
        } else {
            b = status;
        }
        if (b == 0xFF) {
            if (!readMeta(in, time, file, g, end))
                return false;
            status = 0;
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {
            uint32_t length = 0;
            if (!in.varlen(length) || !in.skip(length))
                return false;
            status = 0;
            continue;
        }
        if (b > 0xF0)
            return false;  // system common and real-time bytes do not belong in a file
        int kind = b & 0xF0;
        int channel = b & 0x0F;
        uint8_t d1 = 0;
        uint8_t d2 = 0;
        if (!in.byte(d1))
            return false;
        if (kind != 0xC0 && kind != 0xD0 && !in.byte(d2))
            return false;
        int pitch = d1 & 0x7F;
        if (kind == 0x90 && (d2 & 0x7F) > 0)
            open.on(channel, pitch, time, track);
        else if (kind == 0x80 || kind == 0x90)
            open.off(channel, pitch, time, track);
    }
    open.closeAll(time, track);
    file.tracks.push_back(std::move(track));
    return true;
}

}  // namespace

std::optional<MidiFile> MidiFile::parse(std::span<const uint8_t> bytes)
{
    Reader in(bytes);
    uint32_t magic = 0;
    uint32_t length = 0;
    if (!in.be(magic, 4) || magic != 0x4D546864 || !in.be(length, 4) || length < 6 || length > in.remaining())
        return std::nullopt;
    uint32_t format = 0;
    uint32_t trackCount = 0;
    uint32_t division = 0;
    in.be(format, 2);
    in.be(trackCount, 2);
    in.be(division, 2);
    in.skip(length - 6);
    if (format > 1 || trackCount == 0 || division == 0)
        return std::nullopt;
    MidiFile file;
    file.format = static_cast<int>(format);
    file.division = static_cast<int16_t>(division);
    if (file.division < 0 && (division & 0xFF) == 0)
        return std::nullopt;
    Globals g;
    while (file.tracks.size() < trackCount && in.remaining() >= 8) {
        uint32_t id = 0;
        in.be(id, 4);
        in.be(length, 4);
        if (length > in.remaining())
            return std::nullopt;
        std::span<const uint8_t> chunk = in.take(length);
        if (id != 0x4D54726B)
            continue;  // chunks of other kinds are skipped, as the format asks
        if (!readTrack(chunk, file, g))
            return std::nullopt;
    }
    if (file.tracks.empty())
        return std::nullopt;
    return file;
}

} // namespace melodrift::tunescan
