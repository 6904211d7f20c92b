// Outside files the engine inspects before handing them on: SoundFont headers
// (the Fonts folder) and MIDI chunk structure (the composer's output, demos).
#include <cstddef>
#include <cstdint>

#include "SoundFontSynth.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    melodrift::sonobox::ParseSoundFontInfo(data, size);
    melodrift::sonobox::IsCompleteMidiFile(data, size);
    return 0;
}
