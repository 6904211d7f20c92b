#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "AudioFormat.h"
#include "ProgressiveAudio.h"

typedef struct _fluid_synth_t fluid_synth_t;

namespace melodrift::sonobox {

// What one run of the device plays. Built before the run and never changed
// during it, so the audio callback reads it without locks (a source still
// rendering publishes its progress through atomics).
struct PlaybackProgram {
    struct Source {
        Source() = default;
        Source(std::shared_ptr<const StereoBuffer> a, int s, std::int64_t start,
               std::shared_ptr<const ProgressiveAudio> rendering = nullptr)
            : audio(std::move(a)), stream(s), startFrame(start), progressive(std::move(rendering))
        {
        }
        std::shared_ptr<const StereoBuffer> audio;
        int stream = kStreamOutput;   // whose volume and level apply
        std::int64_t startFrame = 0;  // frame of audio heard at output frame 0
        // Instead of audio: audio still being rendered.
        std::shared_ptr<const ProgressiveAudio> progressive;
    };
    std::vector<Source> sources;
    // Output frames from which the program is over (-1: runs until stopped).
    std::int64_t endFrame = -1;
    // With a source still rendering: the program ends at the later of
    // knownEnd and that source's end, once its render is done.
    bool endAfterRender = false;
    std::int64_t knownEnd = 0;
    // A click pattern repeated from output frame 0 until clickEnd (-1: ever).
    std::shared_ptr<const StereoBuffer> clicks;
    std::int64_t clickEnd = 0;
    // Input is captured (recording or input test).
    bool capture = false;
    // The live keyboard's synthesiser, rendered on the audio thread only.
    fluid_synth_t* live = nullptr;
};

} // namespace melodrift::sonobox
