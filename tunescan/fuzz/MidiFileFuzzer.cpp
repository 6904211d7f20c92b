// Any bytes given as a MIDI file: parsing and melody extraction must stay
// inside the input and give sane lengths.
#include "MelodyLine.h"
#include "MidiFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto file = melodrift::tunescan::MidiFile::parse(std::span<const uint8_t>(data, size));
    if (!file)
        return 0;
    melodrift::tunescan::MelodyLine line(*file);
    (void)line.metreCode();
    (void)line.tempo();
    for (const melodrift::tunescan::MidiTrack& track : file->tracks)
        for (const melodrift::tunescan::MelodyNote& note : line.extract(track))
            if (note.length <= 0 || note.pitch < -1 || note.pitch > 127)
                std::abort();
    return 0;
}
