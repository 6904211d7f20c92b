#include "Dsp.h"

namespace melodrift::sonobox::dsp {
namespace {
constexpr double kPi = std::numbers::pi;
double Omega(double hz) { return 2.0 * kPi * hz / kSampleRate; }
} // namespace

Biquad Biquad::Make(double b0, double b1, double b2, double a0, double a1, double a2)
{
    Biquad f;
    f.m_b0 = b0 / a0;
    f.m_b1 = b1 / a0;
    f.m_b2 = b2 / a0;
    f.m_a1 = a1 / a0;
    f.m_a2 = a2 / a0;
    return f;
}

Biquad Biquad::LowPass(double hz, double q)
{
    double w = Omega(hz), c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return Make((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::HighPass(double hz, double q)
{
    double w = Omega(hz), c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return Make((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::Peak(double hz, double q, double gainDb)
{
    double a = std::pow(10.0, gainDb / 40), w = Omega(hz), c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return Make(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

Biquad Biquad::LowShelf(double hz, double gainDb)
{
    double a = std::pow(10.0, gainDb / 40), w = Omega(hz), c = std::cos(w);
    double alpha = std::sin(w) / 2 * std::sqrt(2.0), sa = 2 * std::sqrt(a) * alpha;
    return Make(a * ((a + 1) - (a - 1) * c + sa), 2 * a * ((a - 1) - (a + 1) * c), a * ((a + 1) - (a - 1) * c - sa),
                (a + 1) + (a - 1) * c + sa, -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - sa);
}

Biquad Biquad::HighShelf(double hz, double gainDb)
{
    double a = std::pow(10.0, gainDb / 40), w = Omega(hz), c = std::cos(w);
    double alpha = std::sin(w) / 2 * std::sqrt(2.0), sa = 2 * std::sqrt(a) * alpha;
    return Make(a * ((a + 1) + (a - 1) * c + sa), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - sa),
                (a + 1) - (a - 1) * c + sa, 2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - sa);
}

float PitchShifter::Run(float x, double ratio)
{
    m_line.Write(x);
    m_phase += (1.0 - ratio) / m_window;
    m_phase -= std::floor(m_phase);
    float out = 0;
    for (double offset : {0.0, 0.5}) {
        double p = m_phase + offset;
        p -= std::floor(p);
        double gain = 0.5 - 0.5 * std::cos(2.0 * kPi * p);
        out += static_cast<float>(gain) * m_line.Read(1.0 + p * m_window);
    }
    return out;
}

Reverb::Reverb(double size, double wet) : m_feedback(static_cast<float>(0.7 + 0.28 * size)), m_wet(static_cast<float>(wet))
{
    // Mutually prime delays around 25..40 ms; the right channel is detuned.
    const std::size_t combs[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const std::size_t allpasses[] = {556, 441, 341, 225};
    for (std::size_t d : combs) {
        m_combsL.push_back({DelayLine(d + 1), d});
        m_combsR.push_back({DelayLine(d + 24), d + 23});
    }
    for (std::size_t d : allpasses) {
        m_allL.push_back({DelayLine(d + 1), d});
        m_allR.push_back({DelayLine(d + 24), d + 23});
    }
}

float Reverb::RunChannel(std::vector<Comb>& combs, std::vector<Allpass>& allpasses, float in)
{
    float sum = 0;
    for (Comb& comb : combs) {
        float y = comb.line.Read(static_cast<double>(comb.delay));
        comb.store = y * (1 - m_damp) + comb.store * m_damp;
        comb.line.Write(in + comb.store * m_feedback);
        sum += y;
    }
    for (Allpass& ap : allpasses) {
        float delayed = ap.line.Read(static_cast<double>(ap.delay));
        float y = -sum + delayed;
        ap.line.Write(sum + delayed * 0.5f);
        sum = y;
    }
    return sum;
}

void Reverb::Run(float in, float& left, float& right)
{
    float scaled = in * 0.015f;
    left += RunChannel(m_combsL, m_allL, scaled) * m_wet;
    right += RunChannel(m_combsR, m_allR, scaled) * m_wet;
}

} // namespace melodrift::sonobox::dsp
