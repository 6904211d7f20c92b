#include "AudioProcessor.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>

namespace melodrift::sonobox {
namespace {
std::int32_t ToLevel(float peak)
{
    return static_cast<std::int32_t>(std::clamp(peak, 0.0f, 1.0f) * 32767.0f);
}

// Gentle limiter for clip protection: linear below 0.5, saturating above.
float SoftClip(float x)
{
    float a = std::fabs(x);
    if (a <= 0.5f)
        return x;
    float y = 0.5f + 0.5f * std::tanh((a - 0.5f) * 2.0f);
    return x < 0 ? -y : y;
}
} // namespace

AudioProcessor::AudioProcessor(std::shared_ptr<const PlaybackProgram> program) : m_program(std::move(program))
{
    m_volume.fill(1.0f);
}

void AudioProcessor::ApplyCommands() noexcept
{
    Command command;
    while (m_commands.Pop(command)) {
        switch (command.kind) {
        case Command::SetVolume:
            if (command.stream == kStreamMicrophone)
                m_micVolume.store(command.value, std::memory_order_relaxed);
            else if (command.stream >= 0 && command.stream < kStreamCount)
                m_volume[static_cast<std::size_t>(command.stream)] = command.value;
            break;
        case Command::SetMonitor: m_monitor = command.value != 0; break;
        case Command::SetProtect: m_protect = command.value != 0; break;
        case Command::NoteOn:
            if (m_program->live)
                fluid_synth_noteon(m_program->live, 0, command.stream, 100);
            break;
        case Command::NoteOff:
            if (m_program->live)
                fluid_synth_noteoff(m_program->live, 0, command.stream);
            break;
        }
    }
}

void AudioProcessor::NoteLevel(int stream, float sample) noexcept
{
    auto s = static_cast<std::size_t>(stream);
    if (sample > m_blockPos[s])
        m_blockPos[s] = sample;
    else if (-sample > m_blockNeg[s])
        m_blockNeg[s] = -sample;
}

void AudioProcessor::PublishLevels() noexcept
{
    for (std::size_t s = 0; s < kStreamCount; ++s) {
        std::int32_t pos = ToLevel(m_blockPos[s]);
        std::int32_t neg = ToLevel(m_blockNeg[s]);
        std::int32_t old = m_peakPos[s].load(std::memory_order_relaxed);
        while (pos > old && !m_peakPos[s].compare_exchange_weak(old, pos)) {
        }
        old = m_peakNeg[s].load(std::memory_order_relaxed);
        while (neg > old && !m_peakNeg[s].compare_exchange_weak(old, neg)) {
        }
        m_blockPos[s] = m_blockNeg[s] = 0;
    }
}

std::int32_t AudioProcessor::TakeLevel(int stream)
{
    if (stream < 0 || stream >= kStreamCount)
        return -1;
    auto s = static_cast<std::size_t>(stream);
    std::int32_t pos = m_peakPos[s].exchange(0);
    std::int32_t neg = m_peakNeg[s].exchange(0);
    return pos | (neg << 16);
}

bool AudioProcessor::RenderBehind(std::int64_t position, std::size_t frames) const noexcept
{
    for (const PlaybackProgram::Source& source : m_program->sources) {
        if (!source.progressive || source.progressive->Done())
            continue;
        const std::int64_t need = position + source.startFrame + static_cast<std::int64_t>(frames);
        if (need > 0 && static_cast<std::int64_t>(source.progressive->Ready()) < need)
            return true;
    }
    return false;
}

std::int64_t AudioProcessor::EndFrame() const noexcept
{
    const PlaybackProgram& program = *m_program;
    if (!program.endAfterRender)
        return program.endFrame;
    std::int64_t end = program.knownEnd;
    for (const PlaybackProgram::Source& source : program.sources) {
        if (!source.progressive)
            continue;
        if (!source.progressive->Done())
            return -1;
        end = std::max(end, static_cast<std::int64_t>(source.progressive->Total()) - source.startFrame);
    }
    return end;
}

void AudioProcessor::Process(const float* in, float* out, std::size_t frames) noexcept
{
    ApplyCommands();
    const PlaybackProgram& program = *m_program;
    std::int64_t position = m_position.load(std::memory_order_relaxed);
    // Never play past what has been rendered: wait in silence instead of
    // skipping, so the music goes on from where it paused.
    m_lastStarved = RenderBehind(position, frames);
    if (m_lastStarved) {
        std::fill(out, out + frames * 2, 0.0f);
        m_starved.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    float gain = m_micVolume.load(std::memory_order_relaxed) * 2.0f;
    float master = m_volume[kStreamOutput];
    std::size_t capturedFrom = 0;
    float* captureBlock = m_scratchCapture.data(); // reused as scratch for the input
    for (std::size_t i = 0; i < frames; ++i) {
        std::int64_t p = position + static_cast<std::int64_t>(i);
        float left = 0, right = 0;
        for (const PlaybackProgram::Source& source : program.sources) {
            std::int64_t k = p + source.startFrame;
            const std::size_t length =
                source.progressive ? source.progressive->Ready() : StereoFrames(*source.audio);
            if (k < 0 || static_cast<std::size_t>(k) >= length)
                continue;
            float v = m_volume[static_cast<std::size_t>(source.stream)];
            const auto at = static_cast<std::size_t>(k);
            float l = (source.progressive ? source.progressive->Sample(at, 0) : (*source.audio)[at * 2]) * v;
            float r = (source.progressive ? source.progressive->Sample(at, 1) : (*source.audio)[at * 2 + 1]) * v;
            NoteLevel(source.stream, 0.5f * (l + r));
            left += l;
            right += r;
        }
        if (program.clicks && !program.clicks->empty() && (program.clickEnd < 0 || p < program.clickEnd)) {
            std::size_t n = StereoFrames(*program.clicks);
            std::size_t k = static_cast<std::size_t>(p) % n;
            left += (*program.clicks)[k * 2];
            right += (*program.clicks)[k * 2 + 1];
        }
        float mic = in ? in[i] * gain : 0.0f;
        if (m_protect)
            mic = SoftClip(mic);
        NoteLevel(kStreamMicrophone, mic);
        if (m_monitor) {
            left += mic;
            right += mic;
        }
        if (program.capture) {
            captureBlock[capturedFrom++] = mic;
            if (capturedFrom == m_scratchCapture.size()) {
                if (m_captured.Push(captureBlock, capturedFrom) < capturedFrom)
                    m_overruns.fetch_add(1, std::memory_order_relaxed);
                capturedFrom = 0;
            }
        }
        out[i * 2] = left * master;
        out[i * 2 + 1] = right * master;
        NoteLevel(kStreamOutput, 0.5f * (out[i * 2] + out[i * 2 + 1]));
    }
    if (capturedFrom > 0 && m_captured.Push(captureBlock, capturedFrom) < capturedFrom)
        m_overruns.fetch_add(1, std::memory_order_relaxed);
    if (program.live) {
        for (std::size_t done = 0; done < frames;) {
            std::size_t n = std::min(frames - done, m_scratchLive.size() / 2);
            float* l = m_scratchLive.data();
            float* r = m_scratchLive.data() + n;
            fluid_synth_write_float(program.live, static_cast<int>(n), l, 0, 1, r, 0, 1);
            for (std::size_t i = 0; i < n; ++i) {
                out[(done + i) * 2] += l[i] * master;
                out[(done + i) * 2 + 1] += r[i] * master;
            }
            done += n;
        }
    }
    PublishLevels();
    std::int64_t next = position + static_cast<std::int64_t>(frames);
    m_position.store(next, std::memory_order_release);
    const std::int64_t end = EndFrame();
    if (end >= 0 && next >= end)
        m_finished.store(true, std::memory_order_release);
}

} // namespace melodrift::sonobox
