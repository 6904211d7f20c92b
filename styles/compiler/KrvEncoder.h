// Writes style data blocks ("KRV" layout) from plain values: no file access,
// no knowledge of the source text. All integers in the block are big-endian.
//
//   0 "KRV"  3 format (1)  4 uint32 body length L (block size - 8)
//   8 metre  9 clocks per click  10 32nds per quarter  11 K kinds  12 G groups
//   13 uint24 tempo (microseconds per quarter note)
//   16 K kind blocks: uint8 segment count, then per segment: uint8 id, its
//      part groups (G for kinds 0 and 1, 2 for kinds 2 and 3), each a uint8
//      track count and the tracks; for kinds 0 and 1 an unpitched part is
//      0xFF 0x01 and one more track.
//   track: uint16 length in ticks, uint32 byte length N, N bytes of events.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace krv {

constexpr uint32_t kTicksPerQuarter = 192;
constexpr size_t kMaxBlock = 1000000;

// One MIDI event at an absolute tick: a complete channel message, a meta
// event (FF type len data) or a system exclusive (F0 len data).
struct TrackEvent {
    uint32_t tick = 0;
    std::vector<uint8_t> bytes;
};

struct Track {
    uint16_t length = 0;         // ticks
    std::vector<uint8_t> events; // delta-timed stream ending with FF 2F 00
};

struct Segment {
    uint8_t id = 0;
    std::vector<std::vector<Track>> groups; // G (main, fill) or 2 (intro, outro)
    std::optional<Track> unpitched;         // main and fill only
};

struct Block {
    uint8_t metre = 0;
    uint8_t clocksPerClick = 24;
    uint8_t thirtySecondsPerQuarter = 8;
    uint32_t tempo = 500000; // fits 24 bits
    uint8_t groupCount = 4;
    std::vector<std::vector<Segment>> kinds; // at most 4, kinds 0..3 in order
};

// Thrown for values the layout cannot carry or a reader would misread.
class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Delta-times the events (sorted by tick, each within the length) and ends
// the stream with the end-of-track event at `length`.
Track encodeTrack(std::span<const TrackEvent> events, uint32_t length);

std::vector<uint8_t> encodeBlock(const Block& block);

// zlib stream (RFC 1950) at the best compression level.
std::vector<uint8_t> compress(std::span<const uint8_t> bytes);

// Variable-length quantity as in Standard MIDI Files (values below 2^28).
void putVarLen(std::vector<uint8_t>& out, uint32_t value);

} // namespace krv
