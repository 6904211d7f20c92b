#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "AudioDevice.h"
#include "AudioProcessor.h"
#include "MelodriftPlatform.h"
#include "PlaybackProgram.h"
#include "RecordingTake.h"

namespace melodrift::sonobox {

// One run of the device (playing, recording, an input test, a demo or the
// idle live keyboard): the device, the program it plays, the real-time
// processor between them, and the worker thread that takes the processor's
// input into the take and keeps the recording level.
class DeviceRun {
public:
    enum class Kind { Play, Record, Test, Demo, Live };
    // Called on the worker when the run ends by itself: its program or its
    // input file is over, or the device was lost (deviceLost). The take then
    // holds all the input the device delivered before the end was seen.
    using EndHandler = std::function<void(DeviceRun& run, bool deviceLost)>;
    // Called on the worker when the automatic level changed the volume (0..1).
    using VolumeHandler = std::function<void(DeviceRun& run, float volume)>;

    DeviceRun(Kind kind, MDP_Window window, int mode = 0) : m_kind(kind), m_window(window), m_mode(mode) {}
    ~DeviceRun() { Stop(); }
    DeviceRun(const DeviceRun&) = delete;
    DeviceRun& operator=(const DeviceRun&) = delete;

    // The processor for program; commands posted to it before Start apply
    // from the first block.
    AudioProcessor& Prepare(std::shared_ptr<PlaybackProgram> program, float recordVolume);
    // Starts device on the prepared processor; 0 or the device's failure
    // code (the device is stopped again then).
    int Start(std::unique_ptr<AudioDevice> device);
    // Starts the worker. autoLevel is read on every level window.
    void StartWorker(const std::atomic<bool>& autoLevel, EndHandler onEnd, VolumeHandler onVolume);
    // Ends the worker (without calling onEnd) and stops the device.
    void Stop();
    // Moves the input still queued from the device into the take: after the
    // device stopped, everything it delivered is then in the take.
    void TakeQueuedInput();

    Kind GetKind() const { return m_kind; }
    MDP_Window Window() const { return m_window; }
    int Mode() const { return m_mode; }
    bool StopAsked() const { return m_stop.load(); }
    bool Finished() const { return m_finished.load(); }
    void MarkFinished() { m_finished = true; }

    AudioDevice& Device() const { return *m_device; }
    AudioProcessor& Processor() const { return *m_processor; }
    const PlaybackProgram& Program() const { return *m_program; }
    float RecordVolume() const { return m_recordVolume.load(); }
    void SetRecordVolume(float volume) { m_recordVolume = volume; }

    // Where output frame 0 lies on the song's timeline.
    std::int64_t startSample = 0;
    // The take of a recording run, else null.
    std::unique_ptr<RecordingTake> take;

private:
    void Work();

    Kind m_kind;
    MDP_Window m_window;
    int m_mode;
    std::unique_ptr<AudioDevice> m_device;
    std::shared_ptr<PlaybackProgram> m_program;
    std::unique_ptr<AudioProcessor> m_processor;
    const std::atomic<bool>* m_autoLevel = nullptr;
    EndHandler m_onEnd;
    VolumeHandler m_onVolume;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    // Automatic level: loudest input over the current window.
    float m_windowPeak = 0;
    std::size_t m_windowSamples = 0;
    std::atomic<float> m_recordVolume{0.5f}; // the control thread may set it too
};

} // namespace melodrift::sonobox
