// One track's notes as a single melodic line in ticks of 192 per quarter
// note: overlaps resolved, gaps turned into rests.
#pragma once

#include "MidiFile.h"

#include <cstdint>
#include <vector>

namespace melodrift::tunescan {

inline constexpr int kRest = -1;
inline constexpr uint32_t kTicksPerQuarter = 192;

struct MelodyNote {
    int pitch = kRest;
    int32_t length = 0;  // ticks at 192 per quarter note
};

class MelodyLine {
public:
    explicit MelodyLine(const MidiFile& file);

    std::vector<MelodyNote> extract(const MidiTrack& track) const;

    // Ticks of the file converted to 192 per quarter note, rounded.
    uint64_t toQuarterTicks(uint64_t fileTicks) const;

    // Metre code of the file's time signature (0 when it has no code).
    int metreCode() const;
    // Beats per minute, rounded.
    int tempo() const;

private:
    const MidiFile& m_file;
};

} // namespace melodrift::tunescan
