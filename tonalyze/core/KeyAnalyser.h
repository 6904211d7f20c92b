// Decides the major key of a note melody from its weighted pitch profiles.
#pragma once

#include "KeyProfile.h"

namespace tonalyze {

class KeyAnalyser {
public:
    // Result 0..11, or -1 when the arguments are invalid (see Tonalyze.h).
    static int analyse(const NoteSpan& melody, int ticksPerBeat, int ts);

    // The decision over ready profiles; appends its trace to *trace when given.
    static int decide(const KeyProfiles& profiles, std::string* trace);
};

}  // namespace tonalyze
