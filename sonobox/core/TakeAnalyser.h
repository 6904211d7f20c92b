#pragma once

#include <cstdint>
#include <memory>

#include "AudioFormat.h"
#include "SpectrumAnalyser.h"

namespace melodrift::sonobox {

class PitchloreLibrary;

// Transform size and frames per beat handed to the recogniser. 8192 samples
// (186 ms) resolve low voices. 16 frames a beat: on real sung takes
// (bench/pitchlore's pitchlore_singing) the finer frames and the quarter-beat
// grid that comes with them at tempi up to 120 put onsets where they were
// sung (onset F 0.66 at 8 frames, 0.77 at 16); on the synthetic voices of
// bench/sonobox both rates give every pitch and bar right and nearly the same
// lengths (0.90 at 8, 0.89 at 16).
struct AnalysisSettings {
    int fftSize = 8192;
    int framesPerBeat = 16;
};

struct Recognition {
    int pitchedNotes = 0;
    int leadInBars = 0;
    int barCount = 0;
};

// Cuts a take into frames on the beat grid and feeds their spectra to the
// recogniser while the take grows, then runs the melody analysis.
class TakeAnalyser {
public:
    TakeAnalyser(PitchloreLibrary& recogniser, AnalysisSettings settings);

    // Resets the recogniser for a take at tempo and metre; false when it
    // refuses (or is absent), after which Feed and Finish do nothing.
    bool Begin(int tempo, int metre);

    // Analyses every frame whose window lies inside the first `available`
    // samples of take.
    void Feed(const float* take, std::size_t available);

    // Analyses the remaining frames and runs the melody analysis.
    Recognition Finish(const float* take, std::size_t length);

    std::uint32_t FramesAnalysed() const { return m_nextFrame; }
    double Hop() const { return m_hop; }

private:
    void AnalyseFrame(const float* take, std::size_t length);

    PitchloreLibrary& m_recogniser;
    AnalysisSettings m_settings;
    std::unique_ptr<SpectrumAnalyser> m_spectrum;
    double m_hop = 0;
    std::uint32_t m_nextFrame = 0;
    bool m_active = false;
};

// Runs a whole take through a fresh analysis in one go.
Recognition RecogniseTake(PitchloreLibrary& recogniser, AnalysisSettings settings, const MonoBuffer& take, int tempo,
                          int metre);

} // namespace melodrift::sonobox
