#pragma once

// Records exchanged with the style composer and the engine, and the
// conversion of chord codes between the song's key-relative form and the
// composer's absolute form.

#include <cstdint>
#include <vector>

#include "Arrangix.h"
#include "Sonobox.h"

namespace melodrift {

using ComposerChord = SM_Chord;
using ComposerSection = SM_Section;
using ComposerFill = SM_Fill;
using ComposerStage = SM_Stage;
using VoiceSegment = MM_VoiceSegment;

// An unknown key (-1) counts as C so that codes stay in range.
int ToAbsoluteChord(int relative, int key);
int ToRelativeChord(int absolute, int key);

// The song's chords, fills and sections in the composer's form.
struct ComposerInput {
    std::vector<ComposerSection> sections;
    std::vector<ComposerChord> chords;
    std::vector<ComposerFill> fills;
};

} // namespace melodrift
