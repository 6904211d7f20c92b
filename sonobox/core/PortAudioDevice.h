#pragma once

#include <vector>

#include "AudioDevice.h"

namespace melodrift::sonobox {

// Lists the capture devices PortAudio (ALSA) offers; each channel of a
// device is one input. Empty when PortAudio finds no hardware.
std::vector<DeviceEntry> ListPortAudioDevices();

// Capture from one channel of a PortAudio device and play on the default
// output device.
class PortAudioDevice final : public AudioDevice {
public:
    PortAudioDevice(int deviceIndex, int channel);
    ~PortAudioDevice() override;

    int Start(AudioProcessor& processor) override;
    void Stop() override;
    double LatencyMs() const override { return m_latencyMs; }
    bool Failed() const override;

private:
    static int Callback(const void* input, void* output, unsigned long frames, const void* timeInfo,
                        unsigned long statusFlags, void* user);

    int m_device;
    int m_channel;
    int m_channels = 1;
    void* m_stream = nullptr;
    AudioProcessor* m_processor = nullptr;
    double m_latencyMs = 0;
    std::vector<float> m_mono;
    bool m_initialised = false;
};

} // namespace melodrift::sonobox
