#include "Mixer.h"

#include <algorithm>

#include "AudioProcessor.h"

namespace melodrift::sonobox {

Mixer::Mixer()
{
    m_volumes.fill(1.0f);
    m_volumes[kStreamMicrophone] = 0.5f;
}

void Mixer::SetVolume(int stream, float volume)
{
    m_volumes[static_cast<std::size_t>(stream)] = std::clamp(volume, 0.0f, 1.0f);
}

void Mixer::ApplyTo(AudioProcessor& processor) const
{
    for (int s = 0; s < kStreamCount; ++s)
        processor.Post(Command{Command::SetVolume, s, m_volumes[static_cast<std::size_t>(s)]});
    processor.Post(Command{Command::SetMonitor, 0, m_monitor ? 1.0f : 0.0f});
    processor.Post(Command{Command::SetProtect, 0, m_protect ? 1.0f : 0.0f});
}

void Mixer::MixInto(StereoBuffer& mix, const StereoBuffer& source, int stream) const
{
    const float volume = Volume(stream);
    if (mix.size() < source.size())
        mix.resize(source.size(), 0.0f);
    for (std::size_t i = 0; i < source.size(); ++i)
        mix[i] += source[i] * volume;
}

std::shared_ptr<const StereoBuffer> Mixer::MonoToStereo(const MonoBuffer& mono)
{
    auto stereo = std::make_shared<StereoBuffer>(mono.size() * 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        (*stereo)[i * 2] = (*stereo)[i * 2 + 1] = mono[i];
    return stereo;
}

} // namespace melodrift::sonobox
