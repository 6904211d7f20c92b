#pragma once

#include "DecodedStyle.h"
#include "OutputTrack.h"

#include <cstdint>
#include <vector>

namespace melodrift::arrangix {

// Writes a format-1 Standard MIDI File straight into the caller's buffer:
// a conductor track with tempo and time signature, then one named track per
// output track. Never writes past capacity. Returns 0, SM_E_BUFFER (written
// holds the bytes written so far) or SM_E_METRE.
int32_t writeMidiFile(const DecodedStyle& style, int32_t composerTempo, const std::vector<OutputTrack>& tracks,
                      uint8_t* buffer, int32_t capacity, int32_t& written);

// General MIDI instrument name of a program 0..127.
const char* generalMidiName(uint8_t program);

} // namespace melodrift::arrangix
