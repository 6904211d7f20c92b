#pragma once

// A Standard MIDI File as an independent reader sees it: Python's mido,
// run as a separate process, so a fault in our own MIDI code cannot hide
// itself in the check.

#include <cstdint>
#include <string>
#include <vector>

namespace melodrift::testsupport {

struct MidiNoteOn {
    long tick = 0;         // from the start of the track
    int channel = 0;
    int note = 0;
};

struct MidiTrackSummary {
    std::string name;      // track name, "" when none
    int noteOns = 0;       // note-ons with velocity > 0
    long lengthTicks = 0;  // sum of the track's delta times
    std::vector<MidiNoteOn> notes; // those note-ons, in order
    std::vector<int> programs;     // its program changes, in order
};

struct MidiSummary {
    bool ok = false;
    std::string error;     // what the reader said when !ok
    int type = -1;
    int ticksPerBeat = 0;
    double seconds = 0;    // playing time with the file's tempo changes
    std::vector<MidiTrackSummary> tracks;
    int NoteOns() const;
};

MidiSummary SummariseMidi(const std::string& path);
MidiSummary SummariseMidi(const std::vector<uint8_t>& bytes);

} // namespace melodrift::testsupport
