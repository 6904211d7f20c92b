#pragma once

#include <cstdint>
#include <memory>

#include "AudioFormat.h"
#include "MelodySnapshot.h"
#include "TakeAnalyser.h"

namespace melodrift::sonobox {

// A take being recorded: what it replaces on the song's timeline, the input
// captured so far and, for a whole melody take, its analysis as it grows.
struct RecordingTake {
    // Captured input and where it lies on the song's timeline (sample of
    // captured[0]; negative during the count-in and latency).
    MonoBuffer captured;
    std::int64_t origin = 0;
    std::int64_t punchIn = -1;  // samples; -1 open
    std::int64_t punchOut = -1; // samples; -1 open
    bool partial = false;
    int latencyMs = 0;
    std::unique_ptr<TakeAnalyser> analyser; // live analysis of a whole take
    // What a melody take replaces, put back when the new take yields no bars.
    std::unique_ptr<MelodySnapshot> previous;

    void Append(const float* input, std::size_t frames) { captured.insert(captured.end(), input, input + frames); }
    // Analyses what has arrived from the take's timeline position 0 on.
    void Analyse();
};

} // namespace melodrift::sonobox
