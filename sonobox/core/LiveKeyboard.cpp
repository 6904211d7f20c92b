#include "LiveKeyboard.h"

namespace melodrift::sonobox {

void LiveKeyboard::Replace(std::unique_ptr<SoundFontSynth> synth, bool sounding)
{
    if (m_synth && sounding)
        m_retired.push_back(std::move(m_synth));
    m_synth = std::move(synth);
}

} // namespace melodrift::sonobox
