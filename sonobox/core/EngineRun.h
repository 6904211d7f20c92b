#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "AudioDevice.h"
#include "AudioProcessor.h"
#include "Engine.h"
#include "PlaybackProgram.h"

namespace melodrift::sonobox {

// One run of the device (playing, recording, an input test, a demo or the
// idle live keyboard) with the worker thread that consumes its input.
struct Engine::Run {
    RunKind kind = RunKind::Play;
    MDP_Window window = nullptr;
    int mode = 0;
    std::unique_ptr<AudioDevice> device;
    std::shared_ptr<PlaybackProgram> program;
    std::unique_ptr<AudioProcessor> processor;
    std::thread worker;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};

    // Recording: captured input and where it lies on the song's timeline
    // (sample of captured[0]; negative during the count-in and latency).
    MonoBuffer captured;
    std::int64_t origin = 0;
    std::int64_t startSample = 0;
    std::int64_t punchIn = -1;  // samples; -1 open
    std::int64_t punchOut = -1; // samples; -1 open
    bool partial = false;
    int latencyMs = 0;
    std::unique_ptr<TakeAnalyser> analyser; // live analysis of a whole take

    // Automatic level: loudest input over the current window.
    float windowPeak = 0;
    std::size_t windowSamples = 0;
    std::atomic<float> recordVolume{0.5f}; // the control thread may set it too
};

} // namespace melodrift::sonobox
