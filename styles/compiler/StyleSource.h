// A style as written in a style source file, checked but not yet encoded.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stylec {

enum class SegmentKind { Main = 0, Fill = 1, Intro = 2, Outro = 3 };

struct SourceNote {
    int line = 0;
    uint8_t pitch = 0;
    uint8_t velocity = 0;
    uint32_t start = 0; // ticks from the segment's start
    uint32_t end = 0;
};

// A non-note channel message: status kind (0xA0..0xE0) and its data bytes.
struct SourceControl {
    int line = 0;
    uint32_t tick = 0;
    uint8_t kind = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

struct SourceTrack {
    int line = 0;
    uint8_t channel = 0;  // 0..15
    int program = -1;     // -1: no program change
    std::vector<SourceNote> notes;
    std::vector<SourceControl> controls;
};

struct SourceSegment {
    int line = 0;
    SegmentKind kind = SegmentKind::Main;
    int id = 0;
    int bars = 0;
    // Main and fill: major, minor, dominant seventh, minor seventh.
    // Intro and outro: major key, minor key.
    std::array<std::vector<SourceTrack>, 4> groups;
    std::optional<SourceTrack> drums; // main and fill only
};

struct StyleSource {
    int id = 0;
    int revision = 1;
    std::string name, author, description;
    int metre = -1; // 0 4/4, 1 3/4, 2 2/4, 3 6/8
    int tempo = 0;  // beats per minute
    std::vector<int> categories;
    bool featured = false;
    int clocksPerClick = -1; // -1: 24, or 36 for 6/8
    std::vector<SourceSegment> segments;
};

constexpr uint32_t kTicksPerBeat = 192;

inline uint32_t beatsPerBar(int metre) { return metre == 0 ? 4 : metre == 2 ? 2 : 3; }
inline uint32_t barTicks(int metre) { return beatsPerBar(metre) * kTicksPerBeat; }

} // namespace stylec
