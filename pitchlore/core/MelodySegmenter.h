// Walks the frame tracks, finds the voiced runs, segments and merges each
// one, and joins the result into note records (rests included).
#pragma once

#include "AnalyserConfig.h"
#include "FrameTracks.h"
#include "NoteRecord.h"
#include "Segment.h"

namespace pitchlore {

class MelodySegmenter {
public:
    explicit MelodySegmenter(const AnalyserConfig& config);

    // Repairs pitches in tracks and updates its lead-in level.
    NoteRecords segment(FrameTracks& tracks) const;

    // The lead-in level: the loudest of the first half bar's frames.
    static void measureLeadIn(FrameTracks& tracks, const AnalyserConfig& config);

    // Joins neighbouring rests, and pitched spans that round to one note.
    static NoteRecords toNoteRecords(const std::vector<PitchSpan>& spans);

private:
    const AnalyserConfig& m_config;
};

}  // namespace pitchlore
