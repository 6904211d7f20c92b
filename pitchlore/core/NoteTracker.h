// Notes of a whole sung take from its frame tracks, for real voices: a voiced
// stretch (carried across a few frames whose pitch was lost while the voice
// sounded on) is cut where the pitch settles on a new note, where the level
// dips and rises again (a shallow dip only where the voice breaks) or where
// the hiss of a consonant rises while the pitch holds (a repeated note of one
// pitch), each note takes the pitch of its stable middle (not its scoop or its
// release), and an octave is decided over a whole note. Produces the same note
// records as the steady-segment method, ready for quantisation.
#pragma once

#include "AnalyserConfig.h"
#include "FrameTracks.h"
#include "NoteRecord.h"

namespace pitchlore {

class NoteTracker {
public:
    explicit NoteTracker(const AnalyserConfig& config);

    // Reads the first completedBeats * FPB frames; every frame ends up in one
    // record (rests included), so the records span exactly those frames.
    NoteRecords track(const FrameTracks& tracks) const;

private:
    struct Piece {
        uint32_t start = 0;
        uint32_t end = 0;  // exclusive
        double pitch = -1.0;
        // Spans one attack from a level dip (or the run's start) to the
        // next: a sung note of its own, never a scoop into its neighbour.
        bool wholeAttack = false;
    };

    // Marks voiced the short stretches inside a held note where no pitch was
    // found, with the pitch carried across them.
    void bridgeLostFrames(std::vector<double>& pitch, std::vector<double>& level, std::vector<bool>& voiced,
                          const FrameShape* shapes) const;
    // rise: consonantRise of the take and shapes its frames' shapes, both
    // null when the tracks have no shapes.
    void cutRun(const double* pitch, const double* level, const double* rise, const FrameShape* shapes,
                uint32_t start, uint32_t end, std::vector<Piece>& notes) const;
    // Adds to the sorted level-dip cuts of [start, end) the consonants of
    // repeated notes, keeping every piece at least minFrames long.
    void addConsonantCuts(const double* rise, const FrameShape* shapes, const std::vector<double>& smooth,
                          uint32_t start, uint32_t end, uint32_t minFrames, std::vector<uint32_t>& cuts) const;
    static double stablePitch(const double* pitch, const double* level, uint32_t start, uint32_t end);

    const AnalyserConfig& m_config;
};

}  // namespace pitchlore
