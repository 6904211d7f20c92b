#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <thread>

#include "AudioDevice.h"
#include "AudioProcessor.h"
#include "Engine.h"
#include "PlaybackProgram.h"

namespace melodrift::sonobox {

// One run of the device (playing, recording, an input test, a demo or the
// idle live keyboard) with the worker thread that consumes its input.
// The melody take, the voice and the recogniser's melody as they were before
// a take; the recogniser's state goes through a scratch file it writes itself.
class MelodySnapshot {
public:
    MelodySnapshot(PitchloreLibrary& recogniser, std::shared_ptr<const MonoBuffer> take,
                   std::shared_ptr<const MonoBuffer> voice, std::vector<std::pair<double, double>> segments);
    ~MelodySnapshot();
    MelodySnapshot(const MelodySnapshot&) = delete;
    MelodySnapshot& operator=(const MelodySnapshot&) = delete;

    // False when the recogniser's melody could not be kept.
    bool Valid() const { return !m_path.empty(); }
    bool RestoreRecogniser() const;

    std::shared_ptr<const MonoBuffer> take;
    std::shared_ptr<const MonoBuffer> voice;
    std::vector<std::pair<double, double>> segments;

private:
    PitchloreLibrary& m_recogniser;
    std::string m_path;
};

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
    // What a melody take replaces, put back when the new take yields no bars.
    std::unique_ptr<MelodySnapshot> previous;

    // Automatic level: loudest input over the current window.
    float windowPeak = 0;
    std::size_t windowSamples = 0;
    std::atomic<float> recordVolume{0.5f}; // the control thread may set it too
};

} // namespace melodrift::sonobox
