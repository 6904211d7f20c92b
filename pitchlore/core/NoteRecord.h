// One note of the analyser's melody: fractional MIDI pitch (-1 for a rest)
// and length in analysis frames.
#pragma once

#include <cstdint>
#include <vector>

namespace pitchlore {

struct NoteRecord {
    float pitch = -1.0f;
    int32_t frames = 0;

    bool isRest() const { return pitch < 0; }
};

using NoteRecords = std::vector<NoteRecord>;

}  // namespace pitchlore
