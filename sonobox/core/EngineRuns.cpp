#include <algorithm>
#include <chrono>
#include <cmath>

#include "Engine.h"
#include "Sonobox.h"

namespace melodrift::sonobox {

// ---- Devices ------------------------------------------------------------

std::vector<DeviceEntry> Engine::Devices() const { return DeviceChoice::Devices(); }

int Engine::SetRecordDevice(int* deviceId, const char* name, int* input, float* volume)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    std::string wanted = name ? name : "";
    if (volume && *volume >= 0)
        SetVolume(kStreamMicrophone, *volume);
    if (volume)
        *volume = m_mixer.Volume(kStreamMicrophone);
    return m_device.Choose(deviceId, wanted, input) ? 0 : MM_ERR_FAIL;
}

double Engine::Latency() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_run ? m_run->Device().LatencyMs() : 0.0;
}

void Engine::SetAutoLevel(bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_autoLevel = on;
}

void Engine::SetMonitor(bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_mixer.SetMonitor(on);
    if (m_run)
        m_run->Processor().Post(Command{Command::SetMonitor, 0, on ? 1.0f : 0.0f});
}

void Engine::SetProtect(bool on)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_mixer.SetProtect(on);
    if (m_run)
        m_run->Processor().Post(Command{Command::SetProtect, 0, on ? 1.0f : 0.0f});
}

// ---- Runs -----------------------------------------------------------------

bool Engine::Running() const
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_run && m_run->GetKind() != RunKind::Live && !m_run->Finished();
}

int Engine::StartRun(std::unique_ptr<DeviceRun> run, std::shared_ptr<PlaybackProgram> program,
                     std::unique_ptr<AudioDevice> device, bool forCapture)
{
    int error = 0;
    if (!device)
        device = m_device.Open(forCapture, &error);
    if (!device)
        return error;
    if (m_live.On())
        program->live = m_live.Synth();
    m_mixer.ApplyTo(run->Prepare(std::move(program), m_mixer.Volume(kStreamMicrophone)));
    error = run->Start(std::move(device));
    if (error != 0)
        return error;
    m_run = std::move(run);
    m_run->StartWorker(
        m_autoLevel, [this](DeviceRun& ended, bool deviceLost) { FinishNaturally(ended, deviceLost); },
        [this](DeviceRun& levelled, float volume) { m_messages.RecordVolume(levelled.Window(), volume); });
    return 0;
}

void Engine::StopRunLocked(bool commit)
{
    if (!m_run)
        return;
    m_run->Stop();
    const RunKind kind = m_run->GetKind();
    if (kind == RunKind::Record || kind == RunKind::Test)
        m_mixer.SetVolume(kStreamMicrophone, m_run->RecordVolume());
    if (commit && !m_run->Finished() && kind == RunKind::Record) {
        m_run->TakeQueuedInput();
        CommitRecording(*m_run);
    }
    m_run.reset();
    m_live.RunEnded();
}

void Engine::Stop()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(true);
    RestartLiveLocked();
}

void Engine::FinishNaturally(DeviceRun& run, bool deviceLost)
{
    while (!run.StopAsked()) {
        std::unique_lock<std::recursive_mutex> guard(m_lock, std::try_to_lock);
        if (!guard.owns_lock()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        run.Device().Stop();
        if (run.GetKind() == RunKind::Record)
            m_mixer.SetVolume(kStreamMicrophone, run.RecordVolume());
        m_messages.EngineStopped(run.Window(), deviceLost);
        if (run.GetKind() == RunKind::Record)
            CommitRecording(run);
        run.MarkFinished();
        return;
    }
}

} // namespace melodrift::sonobox
