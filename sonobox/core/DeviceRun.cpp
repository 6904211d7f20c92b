#include "DeviceRun.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace melodrift::sonobox {
namespace {

constexpr std::size_t kPopFrames = 4096;

} // namespace

AudioProcessor& DeviceRun::Prepare(std::shared_ptr<PlaybackProgram> program, float recordVolume)
{
    m_program = std::move(program);
    m_processor = std::make_unique<AudioProcessor>(m_program);
    m_recordVolume = recordVolume;
    return *m_processor;
}

int DeviceRun::Start(std::unique_ptr<AudioDevice> device)
{
    m_device = std::move(device);
    const int error = m_device->Start(*m_processor);
    if (error != 0)
        m_device->Stop();
    return error;
}

void DeviceRun::StartWorker(const std::atomic<bool>& autoLevel, EndHandler onEnd, VolumeHandler onVolume)
{
    m_autoLevel = &autoLevel;
    m_onEnd = std::move(onEnd);
    m_onVolume = std::move(onVolume);
    m_worker = std::thread([this] { Work(); });
}

void DeviceRun::Stop()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
    if (m_device)
        m_device->Stop();
}

void DeviceRun::TakeQueuedInput()
{
    if (!take)
        return;
    std::vector<float> block(kPopFrames);
    while (std::size_t n = m_processor->Captured().Pop(block.data(), block.size()))
        take->Append(block.data(), n);
}

void DeviceRun::Work()
{
    std::vector<float> block(kPopFrames);
    const auto autoWindow = static_cast<std::size_t>(kSampleRate);
    while (!m_stop) {
        bool got = false;
        while (std::size_t n = m_processor->Captured().Pop(block.data(), block.size())) {
            got = true;
            if (take)
                take->Append(block.data(), n);
            for (std::size_t i = 0; i < n; ++i)
                m_windowPeak = std::max(m_windowPeak, std::fabs(block[i]));
            m_windowSamples += n;
        }
        if (take)
            take->Analyse();
        if (m_windowSamples >= autoWindow) {
            if (m_autoLevel->load() && (m_kind == Kind::Record || m_kind == Kind::Test)) {
                // Keep peaks between about a quarter and nine tenths of full scale.
                float volume = m_recordVolume.load();
                if (m_windowPeak > 0.9f)
                    volume -= 0.05f;
                else if (m_windowPeak > 0.01f && m_windowPeak < 0.25f)
                    volume += 0.03f;
                volume = std::clamp(volume, 0.0f, 1.0f);
                if (std::lround(volume * 100) != std::lround(m_recordVolume.load() * 100)) {
                    m_recordVolume = volume;
                    m_processor->SetMicVolume(volume);
                    m_onVolume(*this, volume);
                }
            }
            m_windowPeak = 0;
            m_windowSamples = 0;
        }
        const bool inputDone =
            m_kind == Kind::Record && m_device->InputEnded() && m_processor->Captured().Available() == 0;
        const bool lost = m_device->Failed();
        if (m_processor->Finished() || inputDone || lost) {
            // What the device delivered before the end was seen may still be
            // queued (it can run ahead of a slow analysis): it is the take's.
            TakeQueuedInput();
            m_onEnd(*this, lost);
            return;
        }
        if (!got)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace melodrift::sonobox
