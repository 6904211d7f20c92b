#pragma once

#include "ByteReader.h"
#include "PatternTrack.h"

#include <cstdint>

namespace melodrift::arrangix {

constexpr int32_t kErrFormat = static_cast<int32_t>(0x80000000u);
constexpr int32_t kErrEvent = static_cast<int32_t>(0x80000004u);

// Reads the MIDI events of one track (no chunk header) into the track.
// Returns 1 after an end-of-track event, 0 when the bytes ran out at an event
// boundary without one, or kErrFormat / kErrEvent.
int32_t parseTrackEvents(std::span<const uint8_t> events, PatternTrack& track);

} // namespace melodrift::arrangix
