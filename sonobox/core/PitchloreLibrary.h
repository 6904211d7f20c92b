#pragma once

#include <string>

#include "Pitchlore.h"

namespace melodrift::sonobox {

// The melody recogniser, loaded by name the way the program loads its own
// libraries, so that the engine runs (without recognition) when it is absent.
class PitchloreLibrary {
public:
    PitchloreLibrary();
    ~PitchloreLibrary();
    PitchloreLibrary(const PitchloreLibrary&) = delete;
    PitchloreLibrary& operator=(const PitchloreLibrary&) = delete;

    // True when the library and every entry point were found and an analyser
    // was created.
    bool Ready() const { return m_ready; }
    const std::string& Error() const { return m_error; }

    decltype(&MR_ResetAnalyser) ResetAnalyser = nullptr;
    decltype(&MR_FrameAnalysis) FrameAnalysis = nullptr;
    decltype(&MR_MelodyAnalysis) MelodyAnalysis = nullptr;
    decltype(&MR_GetMelodyInfo) GetMelodyInfo = nullptr;
    decltype(&MR_GetMelody) GetMelody = nullptr;
    decltype(&MR_GetPitchRevise) GetPitchRevise = nullptr;
    decltype(&MR_SaveProject) SaveProject = nullptr;
    decltype(&MR_LoadProject) LoadProject = nullptr;
    decltype(&MR_LoadAnalysis) LoadAnalysis = nullptr;
    decltype(&MR_MidiAnalysis) MidiAnalysis = nullptr;

private:
    decltype(&MR_CreateAnalyser) m_create = nullptr;
    decltype(&MR_DestroyAnalyser) m_destroy = nullptr;
    void* m_handle = nullptr;
    bool m_ready = false;
    std::string m_error;
};

} // namespace melodrift::sonobox
