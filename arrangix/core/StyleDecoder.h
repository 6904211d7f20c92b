#pragma once

#include "DecodedStyle.h"

#include <cstdint>
#include <memory>
#include <span>

namespace melodrift::arrangix {

// Turns the style store's compressed style data into a decoded style.
// Pure bytes in, style out: the store's encoder writes the same layout.
//
// Inflated layout, big-endian: "KRV", one unread byte, uint32 body length L
// (L + 8 within the data), metre, clocks per click, 32nds per quarter, kind
// count K (<= 4), main/fill group count G (<= 4), uint24 tempo; then K kind
// blocks: uint8 segment count, per segment uint8 id, its groups (G for kinds
// 0 and 1, 2 for kinds 2 and 3) each a uint8 track count and the tracks, and
// for kinds 0 and 1 an optional 0xFF 0x01 followed by the unpitched track.
// Track: uint16 length in ticks, uint32 byte count N, N bytes of MIDI events.
class StyleDecoder {
public:
    static constexpr size_t kInflateCapacity = 1000000;

    struct Result {
        int32_t error = 0;  // 0, a zlib error, or kErrFormat / kErrBody / kErrEvent
        std::shared_ptr<DecodedStyle> style;
    };

    static constexpr int32_t kErrBody = static_cast<int32_t>(0x80000002u);

    // Inflates a zlib stream (RFC 1950) and parses it.
    static Result decode(std::span<const uint8_t> compressed, int32_t id);

    // Parses an already inflated block.
    static Result parse(std::span<const uint8_t> inflated, int32_t id);
};

} // namespace melodrift::arrangix
