// Playable register and role of a General MIDI instrument, used to check
// that voiced parts stay where the instrument sounds right.
#pragma once

namespace stylelib {

enum class Role { Drums, Bass, Chords, Colour };

struct InstrumentRange {
    const char* name;
    int low;
    int high;
    Role role;
};

// channel 0-based (9 = drums); program 0..127 or -1 when none was set.
InstrumentRange instrumentRange(int channel, int program);

}  // namespace stylelib
