#pragma once

#include <memory>
#include <string>
#include <vector>

#include "AudioDevice.h"

namespace melodrift::sonobox {

// Device id of the file-backed device in the catalogue.
constexpr int kFileDeviceId = 1000;

// The device chosen for recording, and how devices are listed and opened:
// the file-backed device (named, or in MELODRIFT_AUDIO) or a sound card.
class DeviceChoice {
public:
    DeviceChoice() = default;
    // Exactly this device and input, as an input test asks for it.
    DeviceChoice(int deviceId, int input) : m_deviceId(deviceId), m_input(input) {}

    // The catalogue: the file device first when MELODRIFT_AUDIO names one
    // (it is then the default), then the sound cards.
    static std::vector<DeviceEntry> Devices();
    static bool Known(int deviceId);

    // Chooses by *deviceId, else by name, else the default; a file device
    // spec as name chooses that file device. Says the choice in *deviceId and
    // *input (either may be null); false (nothing chosen) when there is none.
    bool Choose(int* deviceId, const std::string& name, int* input);
    // Opens the chosen device. A run that only plays falls back to playing
    // into nothing; null with *error set when capture has no device.
    std::unique_ptr<AudioDevice> Open(bool forCapture, int* error) const;

private:
    int m_deviceId = -1;
    int m_input = -1;
    std::string m_name;
};

} // namespace melodrift::sonobox
