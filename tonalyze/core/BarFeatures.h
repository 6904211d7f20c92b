// Describes every bar of a melody in a key: chord candidates, how long each
// scale degree sounds, and its long note.
#pragma once

#include <vector>

#include "BarRecord.h"
#include "ChordCandidates.h"
#include "Metre.h"
#include "NoteMelody.h"

namespace tonalyze {

struct BarFeatures {
    std::vector<BarRecord> bars;
    int64_t tonicSum = 0;     // do weight over every ranked profile
    int64_t relativeSum = 0;  // la weight over every ranked profile
};

class BarFeatureBuilder {
public:
    BarFeatureBuilder(const Metre& metre, int key, int barCount, int pickup);

    BarFeatures build(const NoteSpan& melody);

private:
    std::vector<int64_t> absorbRests(const NoteSpan& melody) const;
    int64_t longNoteThreshold(const NoteSpan& melody) const;
    void markLongNotes(const NoteSpan& melody, const std::vector<int64_t>& adjusted, int64_t tkLong);
    void walkProfiles(const NoteSpan& melody, const std::vector<int64_t>& adjusted);
    void advanceTo(int64_t pos);
    void closeHalf();
    void closeBar();
    int degreeOf(uint8_t note) const { return ((note % 12) - m_key + 12) % 12; }

    const Metre& m_metre;
    int m_key;
    int m_barCount;
    int m_pickup;
    BarFeatures m_out;
    DegreeProfile m_weight{};
    DegreeProfile m_time{};
    int m_bar = 0;
    bool m_halfDone = false;
};

}  // namespace tonalyze
