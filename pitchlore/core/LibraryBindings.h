// The libraries Pitchlore loads by name: Tonalyze for the key (bound with each
// analyser, released with it) and Tunescan for MIDI input (bound once).
#pragma once

#include "MelodyOutputs.h"

#include <cstdint>

namespace pitchlore {

using RetriveMelodyFn = int32_t (*)(const char* source, int32_t selector, int32_t* TS, int32_t* tempo,
                                    int32_t* pitches, int32_t* lengths, int32_t* count);
using GetMelodyFileFn = int32_t (*)(const char* source, int32_t* noteCounts, int32_t* count);

class LibraryBindings {
public:
    ~LibraryBindings();

    void bindTonalyze();
    void releaseTonalyze();
    void bindTunescan();

    KeyAnalysisFn keyAnalysis() const { return m_keyAnalysis; }
    RetriveMelodyFn retriveMelody() const { return m_retriveMelody; }

private:
    void* m_tonalyze = nullptr;
    KeyAnalysisFn m_keyAnalysis = nullptr;
    void* m_tunescan = nullptr;
    RetriveMelodyFn m_retriveMelody = nullptr;
    GetMelodyFileFn m_getMelodyFile = nullptr;
};

}  // namespace pitchlore
