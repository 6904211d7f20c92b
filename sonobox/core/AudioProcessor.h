#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "AudioFormat.h"
#include "PlaybackProgram.h"
#include "SpscRing.h"

namespace melodrift::sonobox {

// A change sent to the audio thread through the command ring.
struct Command {
    enum Kind : std::uint8_t { SetVolume, SetMonitor, SetProtect, NoteOn, NoteOff } kind = SetVolume;
    int stream = 0;     // SetVolume; note number for NoteOn/NoteOff
    float value = 0.0f; // volume 0..1; 1/0 for the switches
};

// The real-time half of a device run: mixes the program into the output,
// hands the input to the capture ring and measures levels. Process takes no
// locks and allocates nothing.
class AudioProcessor {
public:
    explicit AudioProcessor(std::shared_ptr<const PlaybackProgram> program);

    // Audio thread. in: frames mono samples (null: silence); out: frames
    // interleaved stereo.
    void Process(const float* in, float* out, std::size_t frames) noexcept;

    // Control thread (one at a time: the engine's lock holder).
    bool Post(const Command& command) { return m_commands.Push(command); }
    // Recording volume 0..1; any thread (automatic level sets it from the
    // worker while the control thread may post commands).
    void SetMicVolume(float volume) { m_micVolume.store(volume, std::memory_order_relaxed); }
    // Consumer thread of the captured input (after the recording gain).
    SpscRing<float>& Captured() { return m_captured; }

    // Peak since the last call, packed as MM_GetStreamVolume reports it.
    std::int32_t TakeLevel(int stream);

    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    std::int64_t Position() const { return m_position.load(std::memory_order_acquire); }
    // Input frames lost because the consumer fell behind.
    std::uint64_t Overruns() const { return m_overruns.load(std::memory_order_relaxed); }
    const PlaybackProgram& Program() const { return *m_program; }
    // The last block came before a rendering source had its frames: it is
    // silence and the position did not move. Blocks starved so far.
    bool LastBlockStarved() const { return m_lastStarved; }
    std::uint64_t Starved() const { return m_starved.load(std::memory_order_relaxed); }

private:
    void ApplyCommands() noexcept;
    void NoteLevel(int stream, float sample) noexcept;
    void PublishLevels() noexcept;
    bool RenderBehind(std::int64_t position, std::size_t frames) const noexcept;
    std::int64_t EndFrame() const noexcept;

    std::shared_ptr<const PlaybackProgram> m_program;
    SpscRing<Command> m_commands{256};
    SpscRing<float> m_captured{kSampleRate * 4};
    std::array<float, kStreamCount> m_volume{};
    std::atomic<float> m_micVolume{0.5f};
    bool m_monitor = false;
    bool m_protect = false;
    std::array<float, kStreamCount> m_blockPos{};
    std::array<float, kStreamCount> m_blockNeg{};
    std::array<std::atomic<std::int32_t>, kStreamCount> m_peakPos{};
    std::array<std::atomic<std::int32_t>, kStreamCount> m_peakNeg{};
    std::atomic<std::int64_t> m_position{0};
    std::atomic<bool> m_finished{false};
    std::atomic<std::uint64_t> m_overruns{0};
    std::atomic<std::uint64_t> m_starved{0};
    bool m_lastStarved = false;   // device thread
    std::array<float, 512> m_scratchCapture{};
    std::array<float, 512> m_scratchLive{};
};

} // namespace melodrift::sonobox
