#pragma once

#include <memory>
#include <string>
#include <vector>

namespace melodrift::sonobox {

class AudioProcessor;

// A duplex audio device that drives an AudioProcessor from its own thread.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Starts calling processor.Process; returns 0 or a device failure code
    // (MM_ERR_* of Sonobox.h).
    virtual int Start(AudioProcessor& processor) = 0;
    virtual void Stop() = 0;
    // True once a finite input (a file) has been used up.
    virtual bool InputEnded() const { return false; }
    // True when the device stopped on its own (unplugged, driver error).
    virtual bool Failed() const { return false; }
    // Delay from the voice reaching the microphone to its sample arriving,
    // plus the output delay: what a take must be shifted by.
    virtual double LatencyMs() const = 0;
};

// One capture device as the catalogue offers it.
struct DeviceEntry {
    int id = -1;
    std::string name;
    bool isDefault = false;
    std::vector<std::string> inputs;
};

} // namespace melodrift::sonobox
