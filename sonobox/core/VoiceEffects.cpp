#include "VoiceEffects.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Dsp.h"

namespace melodrift::sonobox {
namespace {

using dsp::Biquad;
using dsp::DelayLine;
using dsp::Lfo;

enum FxSlot { kEcho, kEq, kCompressor, kReverb, kBalance, kFlanger, kSpecial, kSimulate, kRotate, kShift, kTune };

double Ms(double ms) { return ms * kSampleRate / 1000.0; }

// Mono stages, in chain order.
void ApplyTune(MonoBuffer& x, const std::vector<PitchCorrection>& corrections)
{
    if (corrections.empty())
        return;
    dsp::PitchShifter shifter(1024);
    std::size_t next = 0;
    double ratio = 1.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        while (next < corrections.size() && corrections[next].at <= i)
            ratio = std::pow(2.0, corrections[next++].semitones / 12.0);
        x[i] = shifter.Run(x[i], ratio);
    }
}

void ApplyShift(MonoBuffer& x, int state)
{
    double ratio = state == 1 ? 2.0 : 0.5;
    dsp::PitchShifter shifter(2048);
    for (float& s : x)
        s = shifter.Run(s, ratio);
}

void ApplyEq(MonoBuffer& x, int state)
{
    Biquad presence = Biquad::Peak(3000, 1.0, 3.0 * state);
    Biquad mud = Biquad::HighPass(80);
    for (float& s : x)
        s = presence.Run(mud.Run(s));
}

void ApplyBalance(MonoBuffer& x, int state)
{
    Biquad low = Biquad::LowShelf(250, 3.0 * state);
    Biquad high = Biquad::HighShelf(5000, -2.0 * state);
    for (float& s : x)
        s = high.Run(low.Run(s));
}

void ApplyCompressor(MonoBuffer& x, int state)
{
    const double ratio = state == 1 ? 2.0 : state == 2 ? 4.0 : 8.0;
    const double threshold = 0.1;
    const double attack = std::exp(-1.0 / Ms(5)), release = std::exp(-1.0 / Ms(120));
    double envelope = 0;
    double makeup = std::pow(1.0 / threshold, (1.0 - 1.0 / ratio) * 0.5);
    for (float& s : x) {
        double level = std::fabs(s);
        double coeff = level > envelope ? attack : release;
        envelope = coeff * envelope + (1 - coeff) * level;
        double gain = envelope > threshold ? std::pow(envelope / threshold, 1.0 / ratio - 1.0) : 1.0;
        s = static_cast<float>(s * gain * makeup);
    }
}

void ApplySimulate(MonoBuffer& x, int state)
{
    // Loudspeaker, telephone, handset: narrower bands and harder clipping.
    const double lows[] = {0, 300, 300, 500};
    const double highs[] = {0, 4500, 3400, 2500};
    const double drive[] = {1, 1.5, 3.0, 2.0};
    Biquad hp1 = Biquad::HighPass(lows[state]), hp2 = Biquad::HighPass(lows[state]);
    Biquad lp1 = Biquad::LowPass(highs[state]), lp2 = Biquad::LowPass(highs[state]);
    for (float& s : x) {
        double y = lp2.Run(lp1.Run(hp2.Run(hp1.Run(s))));
        s = static_cast<float>(std::tanh(y * drive[state]) / drive[state] * 1.5);
    }
}

void ApplyModulatedDelay(MonoBuffer& x, double baseMs, double depthMs, double rateHz, double feedback, double mix)
{
    DelayLine line(static_cast<std::size_t>(Ms(baseMs + depthMs) + 8));
    Lfo lfo(rateHz);
    float last = 0;
    for (float& s : x) {
        line.Write(s + last * static_cast<float>(feedback));
        double delay = Ms(baseMs + depthMs * 0.5 * (1 + lfo.Next()));
        float wet = line.Read(delay);
        last = wet;
        s = static_cast<float>(s * (1 - mix) + wet * mix);
    }
}

void ApplyFlanger(MonoBuffer& x, int state)
{
    ApplyModulatedDelay(x, 1.0, 1.5 * state, 0.25 + 0.15 * state, 0.3 + 0.15 * state, 0.5);
}

void ApplyWobble(MonoBuffer& x)
{
    // Pure vibrato: only the delayed signal is heard.
    ApplyModulatedDelay(x, 2.0, 6.0, 5.0, 0.0, 1.0);
}

void ApplyUnderwater(MonoBuffer& x)
{
    Biquad lp1 = Biquad::LowPass(700), lp2 = Biquad::LowPass(700);
    for (float& s : x)
        s = lp2.Run(lp1.Run(s)) * 1.4f;
    ApplyModulatedDelay(x, 8.0, 4.0, 1.3, 0.4, 0.5);
}

void ApplyEcho(MonoBuffer& x)
{
    const std::size_t delay = static_cast<std::size_t>(Ms(300));
    const float feedback = 0.4f, mix = 0.45f;
    DelayLine line(delay + 4);
    for (float& s : x) {
        float wet = line.Read(static_cast<double>(delay));
        line.Write(s + wet * feedback);
        s += wet * mix;
    }
}

// Stereo stages.
void Spread(const MonoBuffer& x, StereoBuffer& out)
{
    out.resize(x.size() * 2);
    for (std::size_t i = 0; i < x.size(); ++i)
        out[i * 2] = out[i * 2 + 1] = x[i];
}

void ApplyFlying(StereoBuffer& y)
{
    // A voice that circles the listener: sweeping pan with a little doppler.
    Lfo pan(0.35);
    Biquad air = Biquad::HighShelf(4000, 4);
    DelayLine line(static_cast<std::size_t>(Ms(12)));
    Lfo doppler(0.35, 0.25);
    for (std::size_t i = 0; i < y.size() / 2; ++i) {
        line.Write(air.Run(y[i * 2]));
        float s = line.Read(Ms(5 + 4 * doppler.Next()));
        double p = 0.5 * (1 + pan.Next());
        y[i * 2] = static_cast<float>(s * std::cos(p * std::numbers::pi / 2) * 1.2);
        y[i * 2 + 1] = static_cast<float>(s * std::sin(p * std::numbers::pi / 2) * 1.2);
    }
}

void ApplyRotate(StereoBuffer& y, int state)
{
    if (state == 3) {
        // Tremolo: the level pulses six times a second.
        Lfo lfo(6.0);
        for (std::size_t i = 0; i < y.size() / 2; ++i) {
            auto g = static_cast<float>(0.6 + 0.4 * lfo.Next());
            y[i * 2] *= g;
            y[i * 2 + 1] *= g;
        }
        return;
    }
    // Wind tunnel: a fast rotating horn; surround: a slow circle.
    double rate = state == 1 ? 5.5 : 0.25;
    double depthMs = state == 1 ? 0.8 : 0.2;
    Lfo pan(rate);
    Lfo doppler(rate, 0.25);
    DelayLine line(static_cast<std::size_t>(Ms(4)));
    for (std::size_t i = 0; i < y.size() / 2; ++i) {
        line.Write(0.5f * (y[i * 2] + y[i * 2 + 1]));
        float s = line.Read(Ms(1 + depthMs * (1 + doppler.Next())));
        double p = 0.5 * (1 + pan.Next());
        y[i * 2] = static_cast<float>(s * std::cos(p * std::numbers::pi / 2) * 1.41);
        y[i * 2 + 1] = static_cast<float>(s * std::sin(p * std::numbers::pi / 2) * 1.41);
    }
}

void ApplyReverb(StereoBuffer& y, int state)
{
    const double sizes[] = {0, 0.35, 0.6, 0.85};
    const double wets[] = {0, 0.25, 0.35, 0.45};
    dsp::Reverb reverb(sizes[state], wets[state]);
    for (std::size_t i = 0; i < y.size() / 2; ++i) {
        float in = 0.5f * (y[i * 2] + y[i * 2 + 1]);
        reverb.Run(in, y[i * 2], y[i * 2 + 1]);
    }
}

} // namespace

int VoiceEffects::Slot(int id)
{
    auto it = std::find(kIds.begin(), kIds.end(), id);
    return it == kIds.end() ? -1 : static_cast<int>(it - kIds.begin());
}

int VoiceEffects::MaxState(int id)
{
    switch (Slot(id)) {
    case kEcho:
    case kTune: return 1;
    case kShift: return 2;
    case -1: return -1;
    default: return 3;
    }
}

bool VoiceEffects::Set(int id, int state)
{
    int slot = Slot(id);
    if (slot < 0 || state < 0 || state > MaxState(id))
        return false;
    m_states[static_cast<std::size_t>(slot)] = state;
    return true;
}

int VoiceEffects::Get(int id) const
{
    int slot = Slot(id);
    return slot < 0 ? -1 : m_states[static_cast<std::size_t>(slot)];
}

bool VoiceEffects::AnyOn() const
{
    return std::any_of(m_states.begin(), m_states.end(), [](int s) { return s != 0; });
}

StereoBuffer VoiceEffects::Process(const MonoBuffer& voice, const std::vector<PitchCorrection>& corrections) const
{
    auto state = [this](FxSlot s) { return m_states[static_cast<std::size_t>(s)]; };
    MonoBuffer x = voice;
    // Effects with memory ring on after the voice ends.
    std::size_t tail = 0;
    if (state(kEcho))
        tail = std::max(tail, static_cast<std::size_t>(Ms(1500)));
    if (state(kReverb))
        tail = std::max(tail, static_cast<std::size_t>(Ms(800 + 600 * state(kReverb))));
    if (!x.empty())
        x.resize(x.size() + tail, 0.0f);
    if (state(kTune))
        ApplyTune(x, corrections);
    if (state(kShift))
        ApplyShift(x, state(kShift));
    if (state(kEq))
        ApplyEq(x, state(kEq));
    if (state(kBalance))
        ApplyBalance(x, state(kBalance));
    if (state(kCompressor))
        ApplyCompressor(x, state(kCompressor));
    if (state(kSimulate))
        ApplySimulate(x, state(kSimulate));
    if (state(kSpecial) == 1)
        ApplyWobble(x);
    if (state(kSpecial) == 2)
        ApplyUnderwater(x);
    if (state(kFlanger))
        ApplyFlanger(x, state(kFlanger));
    if (state(kEcho))
        ApplyEcho(x);
    StereoBuffer y;
    Spread(x, y);
    if (state(kSpecial) == 3)
        ApplyFlying(y);
    if (state(kRotate))
        ApplyRotate(y, state(kRotate));
    if (state(kReverb))
        ApplyReverb(y, state(kReverb));
    return y;
}

} // namespace melodrift::sonobox
