#pragma once

#include <array>
#include <memory>
#include <vector>

#include "AudioFormat.h"
#include "VoiceEffects.h"

namespace melodrift::sonobox {

class AudioProcessor;

// The mix: each stream's volume, monitoring and clip protection of the
// microphone, and the voice effects; what a run starts with and what an
// export is mixed by.
class Mixer {
public:
    Mixer();

    float Volume(int stream) const { return m_volumes[static_cast<std::size_t>(stream)]; }
    const std::array<float, kStreamCount>& Volumes() const { return m_volumes; }
    // volume is clamped to 0..1.
    void SetVolume(int stream, float volume);
    bool Monitor() const { return m_monitor; }
    void SetMonitor(bool on) { m_monitor = on; }
    bool Protect() const { return m_protect; }
    void SetProtect(bool on) { m_protect = on; }
    VoiceEffects& Effects() { return m_effects; }
    const VoiceEffects& Effects() const { return m_effects; }

    // Posts every setting to a processor before its run starts.
    void ApplyTo(AudioProcessor& processor) const;
    // Adds source scaled by the stream's volume to mix, growing it as needed.
    void MixInto(StereoBuffer& mix, const StereoBuffer& source, int stream) const;
    // The voice as heard: stereo, through the effects when any is on;
    // corrections are asked for only then.
    template <typename Corrections>
    std::shared_ptr<const StereoBuffer> Voice(const MonoBuffer& voice, Corrections&& corrections) const
    {
        if (!m_effects.AnyOn())
            return MonoToStereo(voice);
        return std::make_shared<const StereoBuffer>(m_effects.Process(voice, corrections()));
    }

    static std::shared_ptr<const StereoBuffer> MonoToStereo(const MonoBuffer& mono);

private:
    std::array<float, kStreamCount> m_volumes{};
    bool m_monitor = false;
    bool m_protect = false;
    VoiceEffects m_effects;
};

} // namespace melodrift::sonobox
