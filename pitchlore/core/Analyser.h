// The melody recogniser: configuration, frame tracks and the melody made from
// them. One instance per process lives behind the C functions.
#pragma once

#include "AnalyserConfig.h"
#include "FrameTracks.h"
#include "MelodyOutputs.h"
#include "NoteRecord.h"
#include "SpectralShape.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace pitchlore {

class Analyser {
public:
    // How a take's frames become notes: Notes (the note tracker, made for
    // real voices: repeated notes, scoops, drifting singers) or Segments
    // (steady segments and glides merged on the grid).
    enum class Method { Notes, Segments };

    // keyAnalysis may be null: the key is then never detected.
    explicit Analyser(KeyAnalysisFn keyAnalysis = nullptr);

    // Clears everything; false (and unconfigured) for a value out of range.
    bool reset(int32_t tempo, int32_t TS, int32_t FFT, uint32_t FPB);
    bool configured() const { return m_config.has_value(); }
    const AnalyserConfig& config() const { return *m_config; }

    // spectrum: FFT/2 magnitudes. Ignored while unconfigured.
    void frame(uint32_t index, const float* spectrum);
    // Stores an already estimated frame (tools and tests build tracks so).
    void storeFrame(uint32_t index, const FrameValue& value);

    // Whole analysis; nullopt when no beat is complete (nothing changed).
    struct Result {
        int32_t pitched = 0;
        int32_t leadInBars = 0;
        int32_t barCount = 0;
    };
    std::optional<Result> analyseMelody(int32_t key);

    // Re-keys (key 0..11 other than the current one) and returns the count.
    int32_t changeKey(int32_t key);

    // A melody given as notes instead of frames (MIDI input): frames are
    // ticks at 192 per beat. Returns the pitched notes.
    Result takeNotes(NoteRecords notes);

    // State restored from an analysis block.
    bool takeTracks(std::vector<double> amplitude, std::vector<double> frequency, std::vector<double> pitch,
                    double loudest, double leadInLevel);
    int32_t takeNoteRecords(NoteRecords notes, int32_t key);
    void reanalyseWithKey(int32_t key);

    int32_t key() const { return m_key; }
    int32_t noteCount() const { return m_noteCount; }
    int32_t barCount() const { return m_barCount; }
    const FrameTracks& tracks() const { return m_tracks; }
    const NoteRecords& notes() const { return m_notes; }
    const MelodyOutputs& outputs() const { return m_outputs; }
    std::vector<PitchRevise> pitchRevise() const;

    void setKeyAnalysis(KeyAnalysisFn fn) { m_keyAnalysis = fn; }
    // Kept across resets.
    void setMethod(Method method) { m_method = method; }
    Method method() const { return m_method; }

private:
    int32_t buildOutputs();
    void clearMelody();

    KeyAnalysisFn m_keyAnalysis;
    Method m_method = Method::Notes;
    std::optional<AnalyserConfig> m_config;
    // Made on the first frame after a reset: a take that never delivers a
    // spectrum never pays for it.
    std::optional<ShapeMeter> m_shapeMeter;
    FrameTracks m_tracks;
    NoteRecords m_notes;
    MelodyOutputs m_outputs;
    int32_t m_noteCount = 0;
    int32_t m_key = -1;
    int32_t m_leadInBars = 0;
    int32_t m_barCount = 0;
};

}  // namespace pitchlore
