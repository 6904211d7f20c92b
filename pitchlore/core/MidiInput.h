// Fills the analyser with a melody read from a MIDI file through Tunescan:
// one frame per tick, 192 ticks a beat, no frame tracks.
#pragma once

#include "Analyser.h"
#include "LibraryBindings.h"

#include <optional>

namespace pitchlore {

// nullopt when the reader is missing or fails, or its tempo or metre would be
// refused; the analyser is then unchanged.
std::optional<Analyser::Result> analyseMidi(Analyser& analyser, RetriveMelodyFn retrive, const char* source,
                                            int32_t selector);

}  // namespace pitchlore
