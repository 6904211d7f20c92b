// A Standard MIDI File reduced to what a melody needs: per track the notes
// with their start and end in file ticks, plus the first tempo and metre.
// Parsing checks every length against the bytes it has.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace melodrift::tunescan {

struct MidiNote {
    uint64_t start = 0;
    uint64_t end = 0;
    int pitch = 0;
};

struct MidiTrack {
    std::vector<MidiNote> notes;
};

struct MidiFile {
    int format = 0;
    int16_t division = 96;                // > 0 ticks per quarter; < 0 SMPTE
    uint32_t microsPerQuarter = 500000;   // first tempo of the file
    int numerator = 4;                    // first time signature
    int denominator = 4;
    std::vector<MidiTrack> tracks;

    // nullopt for anything that is not a readable format 0 or 1 file.
    static std::optional<MidiFile> parse(std::span<const uint8_t> bytes);
};

} // namespace melodrift::tunescan
