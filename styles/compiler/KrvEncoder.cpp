#include "KrvEncoder.h"

#include <string>
#include <zlib.h>

namespace krv {

namespace {

void putU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    putU16(out, v >> 16);
    putU16(out, v & 0xFFFF);
}

size_t channelMessageSize(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

// Reads a variable-length quantity inside an event; false when it runs out.
bool readVarLen(std::span<const uint8_t> bytes, size_t& pos, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < 4 && pos < bytes.size(); ++i) {
        const uint8_t b = bytes[pos++];
        value = value << 7 | (b & 0x7F);
        if ((b & 0x80) == 0)
            return true;
    }
    return false;
}

void checkEvent(const TrackEvent& ev)
{
    const auto& b = ev.bytes;
    if (b.empty() || b[0] < 0x80)
        throw EncodeError("event without a status byte at tick " + std::to_string(ev.tick));
    if (b[0] < 0xF0) {
        bool dataOk = b.size() == channelMessageSize(b[0]);
        for (size_t i = 1; dataOk && i < b.size(); ++i)
            dataOk = b[i] < 0x80;
        if (!dataOk)
            throw EncodeError("malformed channel message at tick " + std::to_string(ev.tick));
        return;
    }
    size_t pos = b[0] == 0xFF ? 2 : 1;
    uint32_t len = 0;
    const bool known = b[0] == 0xFF || b[0] == 0xF0;
    if (!known || (b[0] == 0xFF && b.size() < 2) || !readVarLen(b, pos, len) || pos + len != b.size())
        throw EncodeError("malformed meta or system event at tick " + std::to_string(ev.tick));
    if (b[0] == 0xFF && b[1] == 0x2F)
        throw EncodeError("end of track is written by the encoder");
}

void putTrack(std::vector<uint8_t>& out, const Track& track)
{
    putU16(out, track.length);
    putU32(out, static_cast<uint32_t>(track.events.size()));
    out.insert(out.end(), track.events.begin(), track.events.end());
}

void putGroup(std::vector<uint8_t>& out, const std::vector<Track>& tracks)
{
    if (tracks.size() > 255)
        throw EncodeError("more than 255 tracks in a part group");
    out.push_back(static_cast<uint8_t>(tracks.size()));
    for (const auto& t : tracks)
        putTrack(out, t);
}

void putSegment(std::vector<uint8_t>& out, const Segment& seg, size_t kind, uint8_t groupCount)
{
    if (seg.id == 0xFF)
        throw EncodeError("segment id 255 is reserved");
    const size_t groups = kind < 2 ? groupCount : 2;
    if (seg.groups.size() != groups)
        throw EncodeError("segment " + std::to_string(seg.id) + " of kind " + std::to_string(kind) + " needs "
                          + std::to_string(groups) + " part groups");
    if (kind >= 2 && seg.unpitched)
        throw EncodeError("intro and outro segments have no unpitched part");
    out.push_back(seg.id);
    for (const auto& g : seg.groups)
        putGroup(out, g);
    if (seg.unpitched) {
        out.push_back(0xFF);
        out.push_back(0x01);
        putTrack(out, *seg.unpitched);
    }
}

} // namespace

void putVarLen(std::vector<uint8_t>& out, uint32_t value)
{
    if (value >= (1u << 28))
        throw EncodeError("delta time too large");
    uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n-- > 0)
        out.push_back(static_cast<uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
}

Track encodeTrack(std::span<const TrackEvent> events, uint32_t length)
{
    if (length > 0xFFFF)
        throw EncodeError("track longer than 65535 ticks");
    Track track;
    track.length = static_cast<uint16_t>(length);
    uint32_t now = 0;
    for (const auto& ev : events) {
        if (ev.tick < now)
            throw EncodeError("events out of time order at tick " + std::to_string(ev.tick));
        if (ev.tick > length)
            throw EncodeError("event at tick " + std::to_string(ev.tick) + " after the track's end");
        checkEvent(ev);
        putVarLen(track.events, ev.tick - now);
        track.events.insert(track.events.end(), ev.bytes.begin(), ev.bytes.end());
        now = ev.tick;
    }
    putVarLen(track.events, length - now);
    track.events.insert(track.events.end(), {0xFF, 0x2F, 0x00});
    return track;
}

std::vector<uint8_t> encodeBlock(const Block& block)
{
    if (block.metre > 3)
        throw EncodeError("metre code above 3");
    if (block.kinds.size() > 4 || block.groupCount > 4)
        throw EncodeError("at most 4 segment kinds and 4 part groups");
    if (block.tempo == 0 || block.tempo > 0xFFFFFF)
        throw EncodeError("tempo does not fit 24 bits");
    std::vector<uint8_t> out = {'K', 'R', 'V', 1, 0, 0, 0, 0, block.metre, block.clocksPerClick,
                                block.thirtySecondsPerQuarter, static_cast<uint8_t>(block.kinds.size()),
                                block.groupCount, static_cast<uint8_t>(block.tempo >> 16),
                                static_cast<uint8_t>(block.tempo >> 8), static_cast<uint8_t>(block.tempo)};
    for (size_t kind = 0; kind < block.kinds.size(); ++kind) {
        const auto& segments = block.kinds[kind];
        // 255 followed by a segment id of 1 would read as an unpitched-part marker.
        if (segments.size() > 254)
            throw EncodeError("more than 254 segments of one kind");
        out.push_back(static_cast<uint8_t>(segments.size()));
        for (const auto& seg : segments)
            putSegment(out, seg, kind, block.groupCount);
    }
    if (out.size() > kMaxBlock)
        throw EncodeError("style data larger than " + std::to_string(kMaxBlock) + " bytes");
    const uint32_t body = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<uint8_t>(body >> (24 - 8 * i));
    return out;
}

std::vector<uint8_t> compress(std::span<const uint8_t> bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw EncodeError("compression failed");
    out.resize(size);
    return out;
}

} // namespace krv
