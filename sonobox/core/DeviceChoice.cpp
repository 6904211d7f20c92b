#include "DeviceChoice.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "FileDevice.h"
#include "PortAudioDevice.h"
#include "Sonobox.h"

namespace melodrift::sonobox {
namespace {

std::optional<FileDeviceSpec> EnvironmentDevice()
{
    const char* env = std::getenv("MELODRIFT_AUDIO");
    return env ? ParseFileDeviceSpec(env) : std::nullopt;
}

} // namespace

std::vector<DeviceEntry> DeviceChoice::Devices()
{
    std::vector<DeviceEntry> devices;
    if (const char* env = std::getenv("MELODRIFT_AUDIO"); env && ParseFileDeviceSpec(env))
        devices.push_back(DeviceEntry{kFileDeviceId, std::string("File device: ") + env, true, {"WAV file"}});
    for (DeviceEntry& entry : ListPortAudioDevices()) {
        if (!devices.empty())
            entry.isDefault = false; // the file device was asked for explicitly
        devices.push_back(std::move(entry));
    }
    return devices;
}

bool DeviceChoice::Known(int deviceId)
{
    std::vector<DeviceEntry> devices = Devices();
    return std::any_of(devices.begin(), devices.end(), [deviceId](const DeviceEntry& d) { return d.id == deviceId; });
}

bool DeviceChoice::Choose(int* deviceId, const std::string& name, int* input)
{
    if (ParseFileDeviceSpec(name)) {
        m_deviceId = kFileDeviceId;
        m_name = name;
        m_input = 0;
    } else {
        std::vector<DeviceEntry> devices = Devices();
        int id = deviceId ? *deviceId : -1;
        auto it = std::find_if(devices.begin(), devices.end(), [id](const DeviceEntry& d) { return d.id == id; });
        if (it == devices.end() && !name.empty())
            it = std::find_if(devices.begin(), devices.end(), [&](const DeviceEntry& d) { return d.name == name; });
        if (it == devices.end())
            it = std::find_if(devices.begin(), devices.end(), [](const DeviceEntry& d) { return d.isDefault; });
        if (it == devices.end()) {
            m_deviceId = m_input = -1;
            m_name.clear();
            if (deviceId)
                *deviceId = -1;
            if (input)
                *input = -1;
            return false;
        }
        m_deviceId = it->id;
        m_name = it->id == kFileDeviceId ? std::string() : it->name;
        int in = input ? *input : -1;
        m_input = in >= 0 && in < static_cast<int>(it->inputs.size()) ? in : 0;
    }
    if (deviceId)
        *deviceId = m_deviceId;
    if (input)
        *input = m_input;
    return true;
}

std::unique_ptr<AudioDevice> DeviceChoice::Open(bool forCapture, int* error) const
{
    *error = 0;
    if (auto spec = ParseFileDeviceSpec(m_name))
        return std::make_unique<FileDevice>(*spec);
    if (m_deviceId == kFileDeviceId || m_deviceId < 0) {
        if (auto spec = EnvironmentDevice())
            return std::make_unique<FileDevice>(*spec);
    }
    if (m_deviceId != kFileDeviceId) {
        std::vector<DeviceEntry> devices = ListPortAudioDevices();
        auto it = std::find_if(devices.begin(), devices.end(), [this](const DeviceEntry& d) {
            return m_deviceId >= 0 ? d.id == m_deviceId : d.isDefault;
        });
        if (it != devices.end())
            return std::make_unique<PortAudioDevice>(it->id, m_input);
    }
    if (!forCapture)
        return std::make_unique<FileDevice>(FileDeviceSpec{}); // play into nothing
    *error = MM_ERR_NODEVICE;
    return nullptr;
}

} // namespace melodrift::sonobox
