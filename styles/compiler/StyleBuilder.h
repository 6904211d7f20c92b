// Turns a parsed style source into its info record and its style data.
#pragma once

#include <cstdint>
#include <vector>

#include "KrvEncoder.h"
#include "Patbank.h"
#include "StyleSource.h"

namespace stylec {

struct CompiledStyle {
    tagStyleInfo info;
    std::vector<uint8_t> block; // the inflated "KRV" block
    std::vector<uint8_t> data;  // the same, zlib-compressed: what the store hands out
};

// The MIDI events of one track: a program change first when the track names
// one; at one tick note-offs come before other messages and note-ons last,
// so a note repeated back to back is closed before it starts again.
std::vector<krv::TrackEvent> trackEvents(const SourceTrack& track);

krv::Block buildBlock(const StyleSource& style);

tagStyleInfo buildInfo(const StyleSource& style, int32_t dataSize);

// Throws krv::EncodeError when the style cannot be encoded.
CompiledStyle compileStyle(const StyleSource& style);

} // namespace stylec
