#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "Engine.h"
#include "EngineRun.h"
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

// ---- Devices ------------------------------------------------------------

std::vector<DeviceEntry> Engine::Devices() const
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

std::unique_ptr<AudioDevice> Engine::OpenDevice(bool forCapture, int* error) const
{
    *error = 0;
    if (auto spec = ParseFileDeviceSpec(m_deviceName))
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

int Engine::SetRecordDevice(int* deviceId, const char* name, int* input, float* volume)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    std::string wanted = name ? name : "";
    if (volume && *volume >= 0)
        SetVolume(kStreamMicrophone, *volume);
    if (volume)
        *volume = m_volumes[kStreamMicrophone];
    if (ParseFileDeviceSpec(wanted)) {
        m_deviceId = kFileDeviceId;
        m_deviceName = wanted;
        m_input = 0;
    } else {
        std::vector<DeviceEntry> devices = Devices();
        int id = deviceId ? *deviceId : -1;
        auto it = std::find_if(devices.begin(), devices.end(), [id](const DeviceEntry& d) { return d.id == id; });
        if (it == devices.end() && !wanted.empty())
            it = std::find_if(devices.begin(), devices.end(), [&](const DeviceEntry& d) { return d.name == wanted; });
        if (it == devices.end())
            it = std::find_if(devices.begin(), devices.end(), [](const DeviceEntry& d) { return d.isDefault; });
        if (it == devices.end()) {
            m_deviceId = m_input = -1;
            m_deviceName.clear();
            if (deviceId)
                *deviceId = -1;
            if (input)
                *input = -1;
            return MM_ERR_FAIL;
        }
        m_deviceId = it->id;
        m_deviceName = it->id == kFileDeviceId ? std::string() : it->name;
        int in = input ? *input : -1;
        m_input = in >= 0 && in < static_cast<int>(it->inputs.size()) ? in : 0;
    }
    if (deviceId)
        *deviceId = m_deviceId;
    if (input)
        *input = m_input;
    return 0;
}

double Engine::Latency() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_run && m_run->device ? m_run->device->LatencyMs() : 0.0;
}

void Engine::SetAutoLevel(bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_autoLevel = on;
}

void Engine::SetMonitor(bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_monitor = on;
    if (m_run)
        m_run->processor->Post(Command{Command::SetMonitor, 0, on ? 1.0f : 0.0f});
}

void Engine::SetProtect(bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_protect = on;
    if (m_run)
        m_run->processor->Post(Command{Command::SetProtect, 0, on ? 1.0f : 0.0f});
}

void Engine::ApplyVolumes(AudioProcessor& processor) const
{
    for (int s = 0; s < kStreamCount; ++s)
        processor.Post(Command{Command::SetVolume, s, m_volumes[static_cast<std::size_t>(s)]});
    processor.Post(Command{Command::SetMonitor, 0, m_monitor ? 1.0f : 0.0f});
    processor.Post(Command{Command::SetProtect, 0, m_protect ? 1.0f : 0.0f});
}

// ---- Runs -----------------------------------------------------------------

bool Engine::Running() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_run && m_run->kind != RunKind::Live && !m_run->finished;
}

int Engine::StartRun(std::unique_ptr<Run> run, std::shared_ptr<PlaybackProgram> program, bool forCapture)
{
    int error = 0;
    if (!run->device)
        run->device = OpenDevice(forCapture, &error);
    if (!run->device)
        return error;
    if (m_live)
        program->live = m_live->Synth();
    run->program = program;
    run->processor = std::make_unique<AudioProcessor>(program);
    run->recordVolume = m_volumes[kStreamMicrophone];
    ApplyVolumes(*run->processor);
    error = run->device->Start(*run->processor);
    if (error != 0) {
        run->device->Stop();
        return error;
    }
    m_lastLatency = run->device->LatencyMs();
    Run* raw = run.get();
    m_run = std::move(run);
    m_run->worker = std::thread([this, raw] { Worker(raw); });
    return 0;
}

void Engine::StopRunLocked(bool commit)
{
    if (!m_run)
        return;
    m_run->stop = true;
    if (m_run->worker.joinable())
        m_run->worker.join();
    m_run->device->Stop();
    if (m_run->kind == RunKind::Record || m_run->kind == RunKind::Test)
        m_volumes[kStreamMicrophone] = m_run->recordVolume;
    if (commit && !m_run->finished && m_run->kind == RunKind::Record) {
        TakeQueuedInput(*m_run);
        CommitRecording(*m_run);
    }
    m_run.reset();
    m_retiredLive.clear();
}

void Engine::TakeQueuedInput(Run& run)
{
    std::vector<float> block(4096);
    while (std::size_t n = run.processor->Captured().Pop(block.data(), block.size()))
        run.captured.insert(run.captured.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
}

void Engine::Stop()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(true);
    RestartLiveLocked();
}

void Engine::Worker(Run* run)
{
    std::vector<float> block(4096);
    const auto autoWindow = static_cast<std::size_t>(kSampleRate);
    while (!run->stop) {
        bool got = false;
        while (std::size_t n = run->processor->Captured().Pop(block.data(), block.size())) {
            got = true;
            if (run->kind == RunKind::Record)
                run->captured.insert(run->captured.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
            for (std::size_t i = 0; i < n; ++i)
                run->windowPeak = std::max(run->windowPeak, std::fabs(block[i]));
            run->windowSamples += n;
        }
        if (run->analyser && run->origin <= 0 && static_cast<std::int64_t>(run->captured.size()) > -run->origin) {
            std::size_t skip = static_cast<std::size_t>(-run->origin);
            run->analyser->Feed(run->captured.data() + skip, run->captured.size() - skip);
        }
        if (run->windowSamples >= autoWindow) {
            if (m_autoLevel && (run->kind == RunKind::Record || run->kind == RunKind::Test)) {
                // Keep peaks between about a quarter and nine tenths of full scale.
                float volume = run->recordVolume.load();
                if (run->windowPeak > 0.9f)
                    volume -= 0.05f;
                else if (run->windowPeak > 0.01f && run->windowPeak < 0.25f)
                    volume += 0.03f;
                volume = std::clamp(volume, 0.0f, 1.0f);
                if (std::lround(volume * 100) != std::lround(run->recordVolume.load() * 100)) {
                    run->recordVolume = volume;
                    run->processor->SetMicVolume(volume);
                    m_messages.RecordVolume(run->window, volume);
                }
            }
            run->windowPeak = 0;
            run->windowSamples = 0;
        }
        bool inputDone = run->kind == RunKind::Record && run->device->InputEnded() &&
                         run->processor->Captured().Available() == 0;
        const bool lost = run->device->Failed();
        if (run->processor->Finished() || inputDone || lost) {
            FinishNaturally(run, lost);
            return;
        }
        if (!got)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void Engine::FinishNaturally(Run* run, bool deviceLost)
{
    while (!run->stop) {
        std::unique_lock<std::recursive_mutex> guard(m_lock, std::try_to_lock);
        if (!guard.owns_lock()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        run->device->Stop();
        if (run->kind == RunKind::Record)
            m_volumes[kStreamMicrophone] = run->recordVolume;
        m_messages.EngineStopped(run->window, deviceLost);
        if (run->kind == RunKind::Record) {
            // The worker may have seen the end while input the device
            // delivered before it was still queued: that input is the take's.
            TakeQueuedInput(*run);
            CommitRecording(*run);
        }
        run->finished = true;
        return;
    }
}

} // namespace melodrift::sonobox
