// The arrays the melody leaves the library as: note numbers after the
// singer's overall tuning is taken out, the key, and the notes pulled onto
// its scale; plus the pitch-correction events for the recorded voice.
#pragma once

#include "NoteRecord.h"

#include <cstdint>
#include <vector>

namespace pitchlore {

// Signature of the key finder bound from Tonalyze.
using KeyAnalysisFn = int32_t (*)(const uint8_t* notes, const uint16_t* lengths, int32_t count,
                                  int32_t ticksPerBeat, int32_t TS);

struct PitchRevise {
    float offset = 0;  // semitones to add to the voice
    int32_t tick = 0;  // from this position on, 192 per beat
};

class MelodyOutputs {
public:
    void clear();

    // Rebuilds the arrays from the records. key: -1 asks keyAnalysis (when
    // given); it is updated with the result. Returns the pitched notes.
    int32_t build(const NoteRecords& notes, int32_t& key, KeyAnalysisFn keyAnalysis, uint32_t framesPerBeat,
                  int32_t TS);

    std::vector<PitchRevise> pitchRevise(const NoteRecords& notes, uint32_t framesPerBeat) const;

    const std::vector<uint8_t>& noteNumbers() const { return m_notes; }
    const std::vector<uint16_t>& lengths() const { return m_lengths; }  // frames
    const std::vector<float>& adjusted() const { return m_adjusted; }

    // The singer's tuning from the notes of a beat or more, in -0.5..0.5:
    // the clipped mean of the deviations, or their circular mean.
    static double tuningOffset(const NoteRecords& notes, uint32_t framesPerBeat, bool& found, bool circular = false);

    // The singer's tuning as a circular mean rather than a clipped one.
    void setCircularTuning(bool on) { m_circularTuning = on; }

    // In the key the melody's own notes give, every note stays as the singer
    // sang it (real singers sing chromatic notes, and a note sung near halfway
    // is no likelier to be the scale's); a key the caller chose still pulls
    // every note onto its scale.
    void setKeepSungNotesInOwnKey(bool on) { m_keepSungNotesInOwnKey = on; }

private:
    void snapToScale(int32_t key);

    std::vector<uint8_t> m_notes;
    std::vector<uint16_t> m_lengths;
    std::vector<float> m_adjusted;
    bool m_circularTuning = false;
    bool m_keepSungNotesInOwnKey = false;
};

}  // namespace pitchlore
