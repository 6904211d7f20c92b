#pragma once

// The records of a song: bars of the melody, melody stages (sections), the
// song form and the levels of the final take. Timbre library entries are the
// engine's FONTINFO records.

#include <array>
#include <cstdint>
#include <vector>

#include "Sonobox.h"

#include "Vocabulary.h"

namespace melodrift {

using TickLevels = std::array<int32_t, kBarTicks>;

struct tagMelodyBar {
    TickLevels levels{};                 // input level per tick, the engine's scale
    bool voiced = true;
    bool leadIn = false;
    int8_t fill = -1;                    // fill variant 0/1, -1 none
    std::array<int8_t, 2> chords{-1, -1}; // key-relative codes: degree * 4 + quality
    bool operator==(const tagMelodyBar&) const = default;
};

struct tagMelodyStage {
    int32_t firstBar = 0;
    int32_t lastBar = 0;                 // inclusive
    int32_t pattern = 0;                 // 0..3
    bool operator==(const tagMelodyStage&) const = default;
};

struct tagComposeStage {
    int32_t ref = -1;                    // stage index, or kIntroRef/kOutroRef + segment id
    int32_t barCount = 0;
    int32_t pattern = -1;                // -1 for intros, interludes and outros
    int32_t styleId = -1;
    std::vector<int32_t> fills;          // low 16 bits bar offset, high 16 bits variant
    bool operator==(const tagComposeStage&) const = default;
};

struct tagBarVols {
    TickLevels levels{};
    bool voiced = false;
    bool leadIn = false;
    bool operator==(const tagBarVols&) const = default;
};


inline int32_t MakeFill(int offset, int variant) { return offset | (variant << 16); }
inline int FillOffset(int32_t fill) { return fill & 0xFFFF; }
inline int FillVariant(int32_t fill) { return fill >> 16; }

} // namespace melodrift
