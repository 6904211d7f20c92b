#pragma once

#include "OutputTrack.h"
#include "PatternTrack.h"
#include "Plan.h"

#include <cstdint>
#include <vector>

namespace melodrift::arrangix {

// Replays the notes of `source` (written for a major chord) that are held
// across a chord change of the block: a note keeps sounding while its fitted
// pitch stays the same and is cut and restarted where it changes.
void holdNotesAcrossChords(OutputTrack& out, const PatternTrack& source, int32_t blockStart, int32_t duration,
                           int32_t tolerance, const std::vector<ChordItem>& chords);

} // namespace melodrift::arrangix
