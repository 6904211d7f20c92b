// The three per-frame tracks (amplitude, pitch, frequency), grown in blocks
// of eight bars so that recording allocates only once every few seconds.
#pragma once

#include <cstdint>
#include <vector>

namespace pitchlore {

struct FrameValue {
    double amplitude = 0;
    double pitch = -1.0;
    double frequency = 0;
};

// The shape of a frame's spectrum over the voice band: log energies in bands
// a quarter of an octave apart from 100 Hz up, and the share of the energy
// below 4 kHz that sits on the fundamental's harmonics. A new syllable on the
// same pitch changes the shape while the level hardly moves. Kept in memory
// only: tracks read from a file have none.
struct FrameShape {
    static constexpr int kBands = 24;
    float band[kBands] = {};
    float harmonicity = 0;
};

class FrameTracks {
public:
    // framesPerBeat and framesPerBlock come from the configuration.
    void configure(uint32_t framesPerBeat, uint32_t framesPerBlock);
    void clear();

    // Appends (index >= count) or overwrites a frame. Returns false, leaving
    // the tracks as they were, when they cannot grow.
    // shape may be null (tracks built from estimated values): from then on
    // the tracks have no shapes.
    bool store(uint32_t index, const FrameValue& value, const FrameShape* shape = nullptr);

    // Replaces the tracks with frames [start, start + span); frames beyond the
    // old end are unvoiced. Returns false when out of memory (unchanged).
    bool keepWindow(uint32_t start, uint32_t span);

    // Takes tracks read from a file; count = size of each vector.
    bool assign(std::vector<double> amplitude, std::vector<double> frequency, std::vector<double> pitch);

    uint32_t count() const { return m_count; }
    uint32_t completedBeats() const { return m_beats; }
    uint32_t blocks() const { return m_blocks; }
    double loudest() const { return m_loudest; }
    double leadInLevel() const { return m_leadInLevel; }
    void setLoudest(double v) { m_loudest = v; }
    void setLeadInLevel(double v) { m_leadInLevel = v; }

    // Views of the first count() frames (the vectors may hold more).
    const double* amplitude() const { return m_amplitude.data(); }
    const double* frequency() const { return m_frequency.data(); }
    const double* pitch() const { return m_pitch.data(); }
    // Shapes of the first count() frames, or null when some frame has none
    // (tracks read from a file never do: shapes are not stored).
    const FrameShape* shapes() const { return m_hasShapes && m_count > 0 ? m_shapes.data() : nullptr; }
    // Melody analysis repairs pitches in place.
    double* pitch() { return m_pitch.data(); }

private:
    bool grow(uint32_t blocks);

    std::vector<double> m_amplitude;
    std::vector<double> m_pitch;
    std::vector<double> m_frequency;
    std::vector<FrameShape> m_shapes;
    bool m_hasShapes = true;
    uint32_t m_framesPerBeat = 1;
    uint32_t m_framesPerBlock = 1;
    uint32_t m_count = 0;
    uint32_t m_beats = 0;
    uint32_t m_blocks = 0;
    double m_loudest = 0;
    double m_leadInLevel = -1.0;
};

}  // namespace pitchlore
