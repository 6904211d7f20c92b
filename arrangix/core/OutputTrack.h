#pragma once

#include "PatternTrack.h"

#include <cstdint>
#include <vector>

namespace melodrift::arrangix {

struct OutputNote {
    uint8_t pitch = 0;
    uint8_t velocity = 0;  // 0: note-off
};

struct OutputSlice {
    int32_t start = 0;
    std::vector<ControlRecord> controls;
    std::vector<OutputNote> notes;
};

// One MIDI channel of the rendered file. Slices stay in time order whatever
// order events arrive in, so tracks placed over each other on one channel
// and the held-note pass's insertions keep their ticks.
class OutputTrack {
public:
    uint8_t channel = 0;
    uint8_t program = PatternTrack::kNone;
    int32_t length = 0;
    std::vector<OutputSlice> slices;

    OutputSlice& sliceAt(int32_t tick);
    void addControl(int32_t tick, const ControlRecord& c);
    void addNote(int32_t tick, OutputNote n) { sliceAt(tick).notes.push_back(n); }

    // First slice starting at or after tick, and last starting at or before.
    size_t firstAtOrAfter(int32_t tick) const;
    std::ptrdiff_t lastAtOrBefore(int32_t tick) const;
};

} // namespace melodrift::arrangix
