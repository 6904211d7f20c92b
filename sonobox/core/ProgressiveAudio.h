#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "AudioFormat.h"

namespace melodrift::sonobox {

// Stereo audio that one render thread appends to while a run may already
// play it. The writer fills fixed chunks and then publishes how many frames
// are ready; the reader (the audio callback) touches only published frames,
// so neither side locks and nothing moves under the reader.
class ProgressiveAudio {
public:
    static constexpr std::size_t kChunkFrames = 16384;

    explicit ProgressiveAudio(std::size_t maxFrames) : m_chunks((maxFrames + kChunkFrames - 1) / kChunkFrames) {}

    // Writer: false when the audio would outgrow maxFrames. Frames kept
    // unpublished (a release tail not yet cut) are readable after Finish.
    bool Append(const float* left, const float* right, std::size_t frames, bool publish = true)
    {
        std::size_t at = m_written;
        for (std::size_t i = 0; i < frames; ++i, ++at) {
            const std::size_t chunk = at / kChunkFrames;
            if (chunk >= m_chunks.size())
                return false;
            if (!m_chunks[chunk])
                m_chunks[chunk] = std::make_unique<float[]>(kChunkFrames * 2);
            m_chunks[chunk][(at % kChunkFrames) * 2] = left[i];
            m_chunks[chunk][(at % kChunkFrames) * 2 + 1] = right[i];
        }
        m_written = at;
        if (publish)
            m_ready.store(at, std::memory_order_release);
        return true;
    }
    std::size_t Written() const { return m_written; }

    // Writer: the audio ends at frames (at most what was written), or failed.
    void Finish(std::size_t frames, bool ok)
    {
        {
            std::lock_guard<std::mutex> guard(m_doneLock);
            m_total.store(ok ? std::min(frames, m_written) : 0, std::memory_order_relaxed);
            m_failed = !ok;
            m_done.store(true, std::memory_order_release);
        }
        m_doneSignal.notify_all();
    }

    // Reader: frames that may be read now; once Done, the total length.
    std::size_t Ready() const
    {
        return Done() ? m_total.load(std::memory_order_relaxed) : m_ready.load(std::memory_order_acquire);
    }
    bool Done() const { return m_done.load(std::memory_order_acquire); }
    bool Failed() const { return Done() && m_failed; }
    std::size_t Total() const { return m_total.load(std::memory_order_relaxed); }
    float Sample(std::size_t frame, int channel) const
    {
        return m_chunks[frame / kChunkFrames][(frame % kChunkFrames) * 2 + static_cast<std::size_t>(channel)];
    }

    // Waits for the end of the render.
    void Wait() const
    {
        std::unique_lock<std::mutex> guard(m_doneLock);
        m_doneSignal.wait(guard, [this] { return m_done.load(std::memory_order_acquire); });
    }
    // The finished audio in one buffer; call after Wait.
    StereoBuffer Flatten() const
    {
        StereoBuffer out(Total() * 2);
        for (std::size_t f = 0; f < Total(); ++f) {
            out[f * 2] = Sample(f, 0);
            out[f * 2 + 1] = Sample(f, 1);
        }
        return out;
    }

private:
    std::vector<std::unique_ptr<float[]>> m_chunks;
    std::size_t m_written = 0;                 // writer only
    std::atomic<std::size_t> m_ready{0};
    std::atomic<std::size_t> m_total{0};
    std::atomic<bool> m_done{false};
    bool m_failed = false;
    mutable std::mutex m_doneLock;
    mutable std::condition_variable m_doneSignal;
};

} // namespace melodrift::sonobox
