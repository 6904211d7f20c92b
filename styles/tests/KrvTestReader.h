// An independent, strict reader of style data blocks for the tests: it
// follows the layout byte by byte and refuses anything the encoder must
// never write (a track that does not end with its end-of-track event
// exactly at its last byte, notes left open, mixed channels).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <zlib.h>

namespace krvtest {

struct Note {
    uint8_t pitch = 0;
    uint8_t velocity = 0;
    uint32_t start = 0;
    uint32_t end = 0;
};

struct Track {
    uint16_t length = 0;
    uint8_t channel = 0xFF;
    int program = -1;
    uint32_t endTick = 0;
    std::vector<Note> notes;
    std::vector<std::array<uint8_t, 4>> controls; // tick-less: status kind, d1, d2, message size
};

struct Segment {
    uint8_t id = 0;
    std::vector<std::vector<Track>> groups;
    std::optional<Track> unpitched;
};

struct Block {
    uint8_t format = 0, metre = 0, clocks = 0, notated = 0, kindCount = 0, groupCount = 0;
    uint32_t bodyLength = 0, tempo = 0;
    std::vector<std::vector<Segment>> kinds;
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> b) : m_b(b) {}

    std::optional<Block> block()
    {
        Block out;
        if (m_b.size() < 16 || m_b[0] != 'K' || m_b[1] != 'R' || m_b[2] != 'V')
            return fail<Block>("no magic");
        out.format = m_b[3];
        out.bodyLength = be(4, 4);
        if (out.bodyLength + 8ull != m_b.size())
            return fail<Block>("body length does not match");
        out.metre = m_b[8], out.clocks = m_b[9], out.notated = m_b[10];
        out.kindCount = m_b[11], out.groupCount = m_b[12];
        out.tempo = be(13, 3);
        m_pos = 16;
        for (int k = 0; k < out.kindCount; ++k) {
            out.kinds.emplace_back();
            uint8_t count = 0;
            if (!u8(count))
                return fail<Block>("kind count missing");
            for (int s = 0; s < count; ++s) {
                auto seg = segment(k, out.groupCount);
                if (!seg)
                    return std::nullopt;
                out.kinds.back().push_back(std::move(*seg));
            }
        }
        if (m_pos != m_b.size())
            return fail<Block>("bytes after the last kind");
        return out;
    }

    const std::string& error() const { return m_error; }

private:
    template <typename T>
    std::optional<T> fail(const std::string& why)
    {
        m_error = why + " at byte " + std::to_string(m_pos);
        return std::nullopt;
    }

    bool bad(const std::string& why)
    {
        m_error = why + " at byte " + std::to_string(m_pos);
        return false;
    }

    uint32_t be(size_t at, int n) const
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | m_b[at + static_cast<size_t>(i)];
        return v;
    }

    bool u8(uint8_t& v)
    {
        if (m_pos >= m_b.size())
            return false;
        v = m_b[m_pos++];
        return true;
    }

    bool varLen(size_t end, uint32_t& v)
    {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            if (m_pos >= end)
                return false;
            const uint8_t b = m_b[m_pos++];
            v = v << 7 | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }

    std::optional<Segment> segment(int kind, int groupCount)
    {
        Segment seg;
        if (!u8(seg.id))
            return fail<Segment>("segment id missing");
        const int groups = kind < 2 ? groupCount : 2;
        for (int g = 0; g < groups; ++g) {
            seg.groups.emplace_back();
            uint8_t tracks = 0;
            if (!u8(tracks))
                return fail<Segment>("track count missing");
            for (int t = 0; t < tracks; ++t) {
                auto tr = track();
                if (!tr)
                    return std::nullopt;
                seg.groups.back().push_back(std::move(*tr));
            }
        }
        if (kind < 2 && m_pos + 1 < m_b.size() && m_b[m_pos] == 0xFF && m_b[m_pos + 1] == 0x01) {
            m_pos += 2;
            auto tr = track();
            if (!tr)
                return std::nullopt;
            seg.unpitched = std::move(*tr);
        }
        return seg;
    }

    std::optional<Track> track()
    {
        if (m_b.size() - m_pos < 6)
            return fail<Track>("track header cut");
        Track t;
        t.length = static_cast<uint16_t>(be(m_pos, 2));
        const uint32_t size = be(m_pos + 2, 4);
        m_pos += 6;
        if (m_b.size() - m_pos < size)
            return fail<Track>("track bytes cut");
        const size_t end = m_pos + size;
        if (!events(end, t))
            return std::nullopt;
        return t;
    }

    bool events(size_t end, Track& t)
    {
        uint32_t tick = 0, delta = 0;
        std::vector<Note> open;
        if (!varLen(end, delta))
            return bad("first delta missing");
        tick = delta;
        while (m_pos < end) {
            const uint8_t status = m_b[m_pos++];
            if (status == 0xFF) {
                if (end - m_pos >= 2 && m_b[m_pos] == 0x2F && m_b[m_pos + 1] == 0) {
                    m_pos += 2;
                    t.endTick = tick;
                    if (m_pos != end)
                        return bad("bytes after end of track");
                    if (!open.empty())
                        return bad("notes left open");
                    if (tick != t.length)
                        return bad("end of track not at the track length");
                    return true;
                }
                uint32_t len = 0;
                if (m_pos >= end || (++m_pos, !varLen(end, len)) || end - m_pos < len)
                    return bad("meta event cut");
                m_pos += len;
            } else if (status >= 0x80 && status < 0xF0) {
                if (!channelMessage(status, end, tick, t, open))
                    return false;
            } else {
                return bad("unexpected status");
            }
            if (!varLen(end, delta))
                return bad("delta missing");
            tick += delta;
        }
        return bad("no end of track");
    }

    bool channelMessage(uint8_t status, size_t end, uint32_t tick, Track& t, std::vector<Note>& open)
    {
        const uint8_t kind = status & 0xF0;
        const size_t n = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        if (end - m_pos < n)
            return bad("message cut");
        const uint8_t d1 = m_b[m_pos], d2 = n == 2 ? m_b[m_pos + 1] : 0;
        m_pos += n;
        if (d1 >= 0x80 || d2 >= 0x80)
            return bad("data byte with top bit");
        if (t.channel == 0xFF)
            t.channel = status & 0x0F;
        else if (t.channel != (status & 0x0F))
            return bad("second channel in one track");
        if (kind == 0x90 && d2 > 0) {
            open.push_back({d1, d2, tick, 0});
        } else if (kind == 0x80 || kind == 0x90) {
            auto it = std::find_if(open.begin(), open.end(), [&](const Note& x) { return x.pitch == d1; });
            if (it == open.end())
                return bad("note-off without note-on");
            it->end = tick;
            t.notes.push_back(*it);
            open.erase(it);
        } else {
            if (kind == 0xC0 && t.program < 0)
                t.program = d1;
            t.controls.push_back({kind, d1, d2, static_cast<uint8_t>(n + 1)});
        }
        return true;
    }

    std::span<const uint8_t> m_b;
    size_t m_pos = 0;
    std::string m_error;
};

inline std::vector<uint8_t> inflateAll(std::span<const uint8_t> stream)
{
    std::vector<uint8_t> out(1000001);
    uLongf size = out.size();
    if (uncompress(out.data(), &size, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

} // namespace krvtest
