#include "FrameTracks.h"

#include "MelodriftPlatform.h"

#include <cerrno>
#include <new>

namespace pitchlore {

void FrameTracks::configure(uint32_t framesPerBeat, uint32_t framesPerBlock)
{
    clear();
    m_framesPerBeat = framesPerBeat;
    m_framesPerBlock = framesPerBlock;
}

void FrameTracks::clear()
{
    m_amplitude = {};
    m_pitch = {};
    m_frequency = {};
    m_shapes = {};
    m_hasShapes = true;
    m_count = 0;
    m_beats = 0;
    m_blocks = 0;
    m_loudest = 0;
    m_leadInLevel = -1.0;
}

bool FrameTracks::grow(uint32_t blocks)
{
    size_t frames = static_cast<size_t>(blocks) * m_framesPerBlock;
    try {
        std::vector<double> amplitude(frames, 0.0);
        std::vector<double> pitch(frames, -1.0);
        std::vector<double> frequency(frames, 0.0);
        std::vector<FrameShape> shapes(m_hasShapes ? frames : 0);
        std::copy(m_amplitude.begin(), m_amplitude.begin() + m_count, amplitude.begin());
        std::copy(m_pitch.begin(), m_pitch.begin() + m_count, pitch.begin());
        std::copy(m_frequency.begin(), m_frequency.begin() + m_count, frequency.begin());
        if (m_hasShapes)
            std::copy(m_shapes.begin(), m_shapes.begin() + m_count, shapes.begin());
        m_amplitude.swap(amplitude);
        m_pitch.swap(pitch);
        m_frequency.swap(frequency);
        m_shapes.swap(shapes);
    } catch (const std::bad_alloc&) {
        MDP_DebugOutput("realloc error errno=%d.\n", ENOMEM);
        return false;
    }
    m_blocks = blocks;
    return true;
}

bool FrameTracks::store(uint32_t index, const FrameValue& value, const FrameShape* shape)
{
    bool append = index >= m_count;
    if (append)
        index = m_count;
    // Capacity counts whole beats; a block holds framesPerBlock frames.
    uint64_t capacityBeats = static_cast<uint64_t>(m_blocks) * (m_framesPerBlock / m_framesPerBeat);
    if (m_beats >= capacityBeats || index >= m_amplitude.size()) {
        if (!grow(m_blocks + 1))
            return false;
    }
    m_amplitude[index] = value.amplitude;
    m_pitch[index] = value.pitch;
    m_frequency[index] = value.frequency;
    if (shape == nullptr) {
        m_hasShapes = false;
        m_shapes = {};
    } else if (m_hasShapes) {
        m_shapes[index] = *shape;
    }
    if (value.pitch >= 0 && value.amplitude > m_loudest)
        m_loudest = value.amplitude;
    if (append) {
        ++m_count;
        if (m_count % m_framesPerBeat == 0)
            ++m_beats;
    }
    return true;
}

bool FrameTracks::keepWindow(uint32_t start, uint32_t span)
{
    uint32_t blocks = (span + m_framesPerBlock - 1) / m_framesPerBlock;
    size_t frames = static_cast<size_t>(blocks) * m_framesPerBlock;
    try {
        std::vector<double> amplitude(frames, 0.0);
        std::vector<double> pitch(frames, -1.0);
        std::vector<double> frequency(frames, 0.0);
        // Frames beyond the old end are unvoiced: their shape is never read.
        std::vector<FrameShape> shapes(m_hasShapes ? frames : 0);
        for (uint32_t i = 0; i < span && start + i < m_count; ++i) {
            amplitude[i] = m_amplitude[start + i];
            pitch[i] = m_pitch[start + i];
            frequency[i] = m_frequency[start + i];
            if (m_hasShapes)
                shapes[i] = m_shapes[start + i];
        }
        m_amplitude.swap(amplitude);
        m_pitch.swap(pitch);
        m_frequency.swap(frequency);
        m_shapes.swap(shapes);
    } catch (const std::bad_alloc&) {
        MDP_DebugOutput("realloc error errno=%d.\n", ENOMEM);
        return false;
    }
    m_blocks = blocks;
    m_count = span;
    m_beats = span / m_framesPerBeat;
    return true;
}

bool FrameTracks::assign(std::vector<double> amplitude, std::vector<double> frequency, std::vector<double> pitch)
{
    uint32_t count = static_cast<uint32_t>(amplitude.size());
    uint32_t beats = count / m_framesPerBeat;
    uint32_t beatsPerBlock = m_framesPerBlock / m_framesPerBeat;
    uint32_t blocks = (beats + beatsPerBlock - 1) / beatsPerBlock;
    // The block count follows the completed beats; the frames past the last
    // whole beat still need room, so round up by frames as well.
    uint32_t byFrames = (count + m_framesPerBlock - 1) / m_framesPerBlock;
    if (byFrames > blocks)
        blocks = byFrames;
    size_t frames = static_cast<size_t>(blocks) * m_framesPerBlock;
    try {
        amplitude.resize(frames, 0.0);
        frequency.resize(frames, 0.0);
        pitch.resize(frames, -1.0);
    } catch (const std::bad_alloc&) {
        MDP_DebugOutput("realloc error errno=%d.\n", ENOMEM);
        return false;
    }
    m_amplitude = std::move(amplitude);
    m_frequency = std::move(frequency);
    m_pitch = std::move(pitch);
    m_shapes = {};
    m_hasShapes = false;
    m_count = count;
    m_beats = beats;
    m_blocks = blocks;
    return true;
}

}  // namespace pitchlore
