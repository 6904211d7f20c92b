#pragma once

// The recognised melody as a track of its own in an exported Standard MIDI
// File, laid along the song form like the combined voice, so that the song
// opens complete in any sequencer.

#include <cstdint>
#include <utility>
#include <vector>

namespace melodrift::sonobox {

struct MelodyNote {
    int pitch;              // MIDI number, negative for a rest
    int ticks;              // length at 192 ticks a quarter note
};

constexpr int kMelodyProgram = 80;   // General MIDI "Lead 1 (square)"

// Returns smf with one more track named "Melody" on the first channel no
// other track uses (never the drum channel), with a lead instrument.
// segments are the song form's stretches (take bar or -1, length in bars);
// empty means the take as it was sung. A file that cannot be read safely,
// or one without a free channel, comes back unchanged.
std::vector<std::uint8_t> AppendMelodyTrack(const std::vector<std::uint8_t>& smf,
                                            const std::vector<MelodyNote>& notes,
                                            const std::vector<std::pair<double, double>>& segments,
                                            double quartersPerBar);

} // namespace melodrift::sonobox
