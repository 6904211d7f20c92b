#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "AudioDevice.h"
#include "AudioFormat.h"

namespace melodrift::sonobox {

// Where the file-backed device reads and writes.
struct FileDeviceSpec {
    std::string input;  // WAV used as the microphone; empty: silence
    std::string output; // WAV receiving the speaker; empty: discarded
    bool realtime = false;
    std::int64_t lostAfter = -1; // frames of input after which the device is gone; -1 never
};

// Parses "file:<in>[;out=<out>][;realtime][;lost=<ms>]" or "null"; nullopt
// for anything else. lost= stands for a microphone unplugged mid-take.
std::optional<FileDeviceSpec> ParseFileDeviceSpec(const std::string& text);

// The device without hardware: the microphone is a WAV file (then silence),
// the speaker a WAV file or nothing. Runs as fast as the consumer of the
// captured input keeps up, or in real time when asked.
class FileDevice final : public AudioDevice {
public:
    explicit FileDevice(FileDeviceSpec spec);
    ~FileDevice() override;

    int Start(AudioProcessor& processor) override;
    void Stop() override;
    bool InputEnded() const override { return m_inputEnded.load(); }
    bool Failed() const override { return m_lost.load(); }
    double LatencyMs() const override { return 0.0; }

private:
    void Run(AudioProcessor& processor);

    FileDeviceSpec m_spec;
    MonoBuffer m_input;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_inputEnded{false};
    std::atomic<bool> m_lost{false};
};

} // namespace melodrift::sonobox
