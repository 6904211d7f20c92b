#pragma once

#include <cstdint>
#include <vector>

namespace melodrift::arrangix {

struct ChordItem {
    int32_t duration = 0;
    uint8_t type = 0;
    uint8_t root = 0;
    bool operator==(const ChordItem&) const = default;
};

// One entry of an arrangement plan: a stretch of one style segment.
struct Block {
    static constexpr uint8_t kUnset = 0xFF;
    int32_t duration = 0;
    uint8_t keyRoot = kUnset;
    uint8_t minor = kUnset;
    uint8_t kind = 0;
    uint8_t id = 0;
    int32_t styleId = 0;
    std::vector<ChordItem> chords;
};

using Plan = std::vector<Block>;

} // namespace melodrift::arrangix
