#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "AudioFormat.h"

namespace melodrift::sonobox {

// A correction of the sung pitch: from sample `at` on, shift by `semitones`.
struct PitchCorrection {
    std::size_t at = 0;
    float semitones = 0;
};

// The eleven voice presets and the chain that applies them to a mono voice,
// giving stereo. States follow the effect dialog: 0 is always off.
class VoiceEffects {
public:
    // Effect ids as the program passes them.
    static constexpr std::array<int, 11> kIds = {0, 1, 2, 3, 4, 5, 6, 7, 8, 256, 257};

    // False for an unknown id or a state outside the preset's choices (the
    // state is then left as it was).
    bool Set(int id, int state);
    int Get(int id) const;
    bool AnyOn() const;

    // Runs the chain. corrections drive the pitch correction preset.
    StereoBuffer Process(const MonoBuffer& voice, const std::vector<PitchCorrection>& corrections = {}) const;

    // Largest valid state of a preset; -1 for an unknown id.
    static int MaxState(int id);

private:
    static int Slot(int id);
    std::array<int, 11> m_states{};
};

} // namespace melodrift::sonobox
