// A note melody as it crosses the library boundary: note numbers (128 and up
// are rests) and lengths in ticks.
#pragma once

#include <cstdint>
#include <span>

namespace tonalyze {

constexpr uint8_t kRest = 128;

// Bytes 129..255 are no MIDI note; they are read as rests as well.
inline bool isRest(uint8_t note) { return note >= kRest; }

struct NoteSpan {
    std::span<const uint8_t> notes;
    std::span<const uint16_t> lengths;

    size_t size() const { return notes.size(); }
    bool hasPitchedNote() const;
    int64_t totalTicks() const;
};

}  // namespace tonalyze
