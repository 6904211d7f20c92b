#pragma once

#include <memory>
#include <vector>

#include "SoundFontSynth.h"

typedef struct _fluid_synth_t fluid_synth_t;

namespace melodrift::sonobox {

// The live keyboard's synthesiser. A run plays the one there was when it
// started, on the audio thread; one replaced or freed while a run plays it
// is kept until that run has ended.
class LiveKeyboard {
public:
    bool On() const { return m_synth != nullptr; }
    // What a starting run plays the keyboard with; null when it is off.
    fluid_synth_t* Synth() const { return m_synth ? m_synth->Synth() : nullptr; }
    // Uses synth from now on; sounding: a run still plays the old one.
    void Replace(std::unique_ptr<SoundFontSynth> synth, bool sounding);
    void Free(bool sounding) { Replace(nullptr, sounding); }
    // The run that played retired synthesisers has ended.
    void RunEnded() { m_retired.clear(); }

private:
    std::unique_ptr<SoundFontSynth> m_synth;
    std::vector<std::unique_ptr<SoundFontSynth>> m_retired;
};

} // namespace melodrift::sonobox
