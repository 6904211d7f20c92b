#pragma once

// A Standard MIDI File as an independent reader (Python's mido) sees it.

#include <string>

namespace melodrift::cli::test {

struct MidiSummary {
    bool ok = false;
    int type = -1;
    int tracks = 0;
    int noteOns = 0;
    double seconds = 0;     // playing time with the file's tempo changes
    std::string error;
};

MidiSummary ReadMidi(const std::string& path);

} // namespace melodrift::cli::test
