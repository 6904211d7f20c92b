// Puts a melody on the grid: whole bars of leading rest are counted off, the
// first note starts on a bar line, lengths round to grid units with the
// rounding error carried on, and the last bar is filled with a rest.
#pragma once

#include "NoteRecord.h"

#include <cstdint>

namespace pitchlore {

struct BarLayout {
    int32_t leadInBars = 0;
    int32_t barCount = 0;
};

class Quantiser {
public:
    Quantiser(uint32_t unit, uint32_t framesPerBar);

    BarLayout quantise(NoteRecords& notes) const;

    // Splits notes whose length would not fit a 16-bit count of frames or of
    // ticks (192 per beat) into pieces of whole grid units, so a long rest
    // keeps the timing of what follows instead of wrapping.
    static void splitLongNotes(NoteRecords& notes, uint32_t unit, uint32_t framesPerBeat);

private:
    int32_t alignFirstNote(NoteRecords& notes) const;
    void roundLengths(NoteRecords& notes) const;
    int32_t padLastBar(NoteRecords& notes) const;

    int32_t m_unit;
    int32_t m_half;
    int32_t m_bar;
};

}  // namespace pitchlore
