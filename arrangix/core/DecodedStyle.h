#pragma once

#include "PatternTrack.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace melodrift::arrangix {

enum SegmentKind : uint8_t { kMain = 0, kFill = 1, kIntro = 2, kOutro = 3 };

// One pattern of a style: for main and fill segments part groups are indexed
// by chord type; intros and outros use group 0 (major key) and 1 (minor key).
struct StyleSegment {
    int32_t length = 0;
    uint8_t id = 0;
    std::array<std::vector<PatternTrack>, 4> groups;
    std::optional<PatternTrack> unpitched;
};

struct DecodedStyle {
    int32_t id = 0;
    int16_t format = 1;
    int16_t division = 192;
    int32_t tempo = 0;
    uint8_t metre = 4;
    uint8_t clocksPerClick = 24;
    uint8_t thirtySecondsPerQuarter = 8;
    std::array<std::vector<StyleSegment>, 4> segments;

    // Metres outside 0..3 count as four beats so that lengths stay usable.
    int32_t barLength() const
    {
        switch (metre) {
        case 1:
        case 3:
            return division * 3;
        case 2:
            return division * 2;
        default:
            return division * 4;
        }
    }

    StyleSegment* find(int kind, int segmentId)
    {
        if (kind < 0 || kind > 3)
            return nullptr;
        for (auto& s : segments[kind])
            if (s.id == segmentId)
                return &s;
        return nullptr;
    }

    // Segment length of a kind and id; -1 when the style has none.
    int32_t segmentLength(int kind, int segmentId)
    {
        const StyleSegment* s = find(kind, segmentId);
        return s != nullptr ? s->length : -1;
    }
};

} // namespace melodrift::arrangix
