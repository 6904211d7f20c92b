#pragma once
// Builds style data in the tests, independent of the style compiler.

#include <zlib.h>

#include <algorithm>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace krvtest {

// MIDI events at absolute ticks, written with delta times.
class Events {
public:
    Events& raw(uint32_t tick, std::initializer_list<uint8_t> bytes)
    {
        delta(tick);
        out_.insert(out_.end(), bytes);
        return *this;
    }
    Events& on(uint32_t tick, uint8_t ch, uint8_t pitch, uint8_t vel = 100) { return raw(tick, {uint8_t(0x90 | ch), pitch, vel}); }
    Events& off(uint32_t tick, uint8_t ch, uint8_t pitch) { return raw(tick, {uint8_t(0x80 | ch), pitch, 0x40}); }
    Events& note(uint32_t from, uint32_t to, uint8_t ch, uint8_t pitch, uint8_t vel = 100)
    {
        pending_.push_back({from, true, ch, pitch, vel});
        pending_.push_back({to, false, ch, pitch, 0});
        return *this;
    }
    Events& program(uint32_t tick, uint8_t ch, uint8_t prog) { return raw(tick, {uint8_t(0xC0 | ch), prog}); }
    Events& control(uint32_t tick, uint8_t ch, uint8_t c, uint8_t v) { return raw(tick, {uint8_t(0xB0 | ch), c, v}); }
    // Flushes note() pairs in time order (offs before ons at one tick), then end of track.
    std::vector<uint8_t> end(uint32_t tick)
    {
        flush();
        raw(tick, {0xFF, 0x2F, 0x00});
        return out_;
    }
    std::vector<uint8_t> withoutEnd()
    {
        flush();
        return out_;
    }

private:
    struct Pending {
        uint32_t tick;
        bool on;
        uint8_t ch, pitch, vel;
    };
    void flush()
    {
        std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
            return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
        });
        for (const Pending& p : pending_)
            p.on ? on(p.tick, p.ch, p.pitch, p.vel) : off(p.tick, p.ch, p.pitch);
        pending_.clear();
    }
    void delta(uint32_t tick)
    {
        if (tick < last_)
            throw std::logic_error("events out of order");
        uint32_t d = tick - last_;
        last_ = tick;
        uint8_t tmp[5];
        int n = 0;
        tmp[n++] = d & 0x7F;
        while ((d >>= 7) != 0)
            tmp[n++] = uint8_t((d & 0x7F) | 0x80);
        while (n > 0)
            out_.push_back(tmp[--n]);
    }
    std::vector<uint8_t> out_;
    std::vector<Pending> pending_;
    uint32_t last_ = 0;
};

struct Track {
    uint16_t length = 0;
    std::vector<uint8_t> events;
};

struct Segment {
    uint8_t id = 0;
    std::vector<std::vector<Track>> groups;  // missing groups are written empty
    std::optional<Track> unpitched;
};

struct Style {
    uint8_t metre = 0;
    uint8_t clocksPerClick = 24;
    uint8_t thirtySeconds = 8;
    uint8_t groupCount = 4;
    uint8_t kindCount = 4;
    uint32_t tempo = 500000;
    std::array<std::vector<Segment>, 4> kinds;
};

inline void be(std::vector<uint8_t>& out, uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        out.push_back(uint8_t(v >> (8 * i)));
}

inline void writeTrack(std::vector<uint8_t>& out, const Track& t)
{
    be(out, t.length, 2);
    be(out, uint32_t(t.events.size()), 4);
    out.insert(out.end(), t.events.begin(), t.events.end());
}

inline std::vector<uint8_t> krv(const Style& s)
{
    std::vector<uint8_t> out = {'K', 'R', 'V', 0};
    be(out, 0, 4);
    out.push_back(s.metre);
    out.push_back(s.clocksPerClick);
    out.push_back(s.thirtySeconds);
    out.push_back(s.kindCount);
    out.push_back(s.groupCount);
    be(out, s.tempo, 3);
    for (int kind = 0; kind < s.kindCount; ++kind) {
        out.push_back(uint8_t(s.kinds[kind].size()));
        for (const Segment& seg : s.kinds[kind]) {
            out.push_back(seg.id);
            int groups = kind < 2 ? s.groupCount : 2;
            for (int g = 0; g < groups; ++g) {
                const std::vector<Track> empty;
                const auto& tracks = size_t(g) < seg.groups.size() ? seg.groups[g] : empty;
                out.push_back(uint8_t(tracks.size()));
                for (const Track& t : tracks)
                    writeTrack(out, t);
            }
            if (kind < 2 && seg.unpitched) {
                out.push_back(0xFF);
                out.push_back(0x01);
                writeTrack(out, *seg.unpitched);
            }
        }
    }
    uint32_t body = uint32_t(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = uint8_t(body >> (8 * (3 - i)));
    return out;
}

inline std::vector<uint8_t> deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> out(size);
    if (compress(out.data(), &size, raw.data(), uLong(raw.size())) != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(size);
    return out;
}

}  // namespace krvtest
