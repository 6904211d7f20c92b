#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

#include "AudioFormat.h"

namespace melodrift::sonobox::dsp {

// Second-order filter section (the usual cookbook designs), direct form I.
class Biquad {
public:
    static Biquad LowPass(double hz, double q = 0.707);
    static Biquad HighPass(double hz, double q = 0.707);
    static Biquad Peak(double hz, double q, double gainDb);
    static Biquad LowShelf(double hz, double gainDb);
    static Biquad HighShelf(double hz, double gainDb);

    float Run(float x)
    {
        double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
        m_x2 = m_x1;
        m_x1 = x;
        m_y2 = m_y1;
        m_y1 = y;
        return static_cast<float>(y);
    }

private:
    static Biquad Make(double b0, double b1, double b2, double a0, double a1, double a2);
    double m_b0 = 1, m_b1 = 0, m_b2 = 0, m_a1 = 0, m_a2 = 0;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

// A delay line read at fractional delays (linear interpolation).
class DelayLine {
public:
    explicit DelayLine(std::size_t maxDelay) : m_buffer(maxDelay + 2) {}
    void Write(float x)
    {
        m_buffer[m_write] = x;
        m_write = (m_write + 1) % m_buffer.size();
    }
    // Delay in samples since the last Write (1 = the sample just written).
    float Read(double delay) const
    {
        double limit = static_cast<double>(m_buffer.size() - 1);
        delay = delay < 1.0 ? 1.0 : (delay > limit ? limit : delay);
        double pos = static_cast<double>(m_write) - delay;
        while (pos < 0)
            pos += static_cast<double>(m_buffer.size());
        auto i = static_cast<std::size_t>(pos);
        double frac = pos - static_cast<double>(i);
        float a = m_buffer[i % m_buffer.size()];
        float b = m_buffer[(i + 1) % m_buffer.size()];
        return static_cast<float>(a + (b - a) * frac);
    }

private:
    std::vector<float> m_buffer;
    std::size_t m_write = 0;
};

// Sine oscillator for modulations, 0..1 phase.
class Lfo {
public:
    Lfo(double hz, double phase = 0) : m_step(hz / kSampleRate), m_phase(phase) {}
    double Next()
    {
        double v = std::sin(2.0 * std::numbers::pi * m_phase);
        m_phase += m_step;
        if (m_phase >= 1.0)
            m_phase -= 1.0;
        return v;
    }

private:
    double m_step;
    double m_phase;
};

// Pitch shifting by two crossfaded read heads sweeping a delay line; the
// ratio may change from sample to sample.
class PitchShifter {
public:
    explicit PitchShifter(std::size_t window = 2048) : m_window(static_cast<double>(window)), m_line(window + 4) {}
    float Run(float x, double ratio);

private:
    double m_window;
    double m_phase = 0;
    DelayLine m_line;
};

// Reverberator of parallel combs and serial allpasses, one set per channel.
class Reverb {
public:
    // size 0..1 scales the room (decay) and the wet level.
    Reverb(double size, double wet);
    void Run(float in, float& left, float& right);

private:
    struct Comb {
        DelayLine line;
        std::size_t delay;
        float store = 0;
    };
    struct Allpass {
        DelayLine line;
        std::size_t delay;
    };
    float RunChannel(std::vector<Comb>& combs, std::vector<Allpass>& allpasses, float in);
    std::vector<Comb> m_combsL, m_combsR;
    std::vector<Allpass> m_allL, m_allR;
    float m_feedback;
    float m_damp = 0.3f;
    float m_wet;
};

} // namespace melodrift::sonobox::dsp
