#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "TestSignals.h"
#include "VoiceEffects.h"

namespace melodrift::sonobox {
namespace {

using test::Rms;
using test::Sine;
using test::ZeroCrossingHz;

constexpr std::size_t kMs = kSampleRate / 1000;

double ChannelRms(const StereoBuffer& out, int channel, std::size_t from, std::size_t count)
{
    return Rms(out.data() + from * 2 + static_cast<std::size_t>(channel), count, 2);
}

StereoBuffer ApplyPreset(int id, int state, const MonoBuffer& input, const std::vector<PitchCorrection>& corrections = {})
{
    VoiceEffects effects;
    EXPECT_TRUE(effects.Set(id, state));
    return effects.Process(input, corrections);
}

// Gain of a preset for a steady sine, measured after the filters settle.
double SineGain(int id, int state, double hz)
{
    MonoBuffer in = Sine(hz, 0.5, 0.1);
    StereoBuffer out = ApplyPreset(id, state, in);
    std::size_t from = 200 * kMs, n = 200 * kMs;
    return ChannelRms(out, 0, from, n) / Rms(in.data() + from, n);
}

// Ratio of the loudest to the quietest 10 ms stretch of a channel.
double Swing(const StereoBuffer& out, int channel, std::size_t from, std::size_t to)
{
    double lo = 1e9, hi = 0;
    for (std::size_t at = from; at + 10 * kMs <= to; at += 10 * kMs) {
        double r = ChannelRms(out, channel, at, 10 * kMs);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    return hi / std::max(lo, 1e-9);
}

// Whether the sound moves between the two sides within a stretch.
bool PansBothWays(const StereoBuffer& out, std::size_t from, std::size_t to)
{
    bool left = false, right = false;
    for (std::size_t at = from; at + 20 * kMs <= to; at += 20 * kMs) {
        double l = ChannelRms(out, 0, at, 20 * kMs), r = ChannelRms(out, 1, at, 20 * kMs);
        left |= l > 2 * r;
        right |= r > 2 * l;
    }
    return left && right;
}

TEST(VoiceEffects, AllOffPassesTheVoiceUnchangedToBothChannels)
{
    MonoBuffer in = Sine(330, 0.2);
    VoiceEffects effects;
    StereoBuffer out = effects.Process(in);
    ASSERT_EQ(out.size(), in.size() * 2);
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(out[i * 2], in[i]);
        ASSERT_EQ(out[i * 2 + 1], in[i]);
    }
}

TEST(VoiceEffects, RejectsUnknownIdsAndStatesOutsideThePresetsChoices)
{
    VoiceEffects effects;
    ASSERT_TRUE(effects.Set(3, 2));
    EXPECT_FALSE(effects.Set(3, 4));
    EXPECT_FALSE(effects.Set(0, 2)); // echo is on or off
    EXPECT_FALSE(effects.Set(256, 3));
    EXPECT_FALSE(effects.Set(9, 1));
    EXPECT_FALSE(effects.Set(3, -1));
    EXPECT_EQ(effects.Get(3), 2);
    EXPECT_EQ(effects.Get(9), -1);
}

TEST(VoiceEffects, EchoRepeatsAnImpulseThreeHundredMillisecondsLater)
{
    MonoBuffer in(kSampleRate, 0.0f);
    in[kSampleRate / 10] = 1.0f;
    StereoBuffer out = ApplyPreset(0, 1, in);
    // The strongest sample near a time (the delay line interpolates).
    auto at = [&](std::size_t ms) {
        float peak = 0;
        std::size_t centre = ms * kSampleRate / 1000;
        for (std::size_t i = centre - 3; i <= centre + 3; ++i)
            peak = std::max(peak, std::fabs(out[i * 2]));
        return peak;
    };
    EXPECT_NEAR(at(400), 0.45, 0.05);
    EXPECT_NEAR(at(700), 0.45 * 0.4, 0.03);
    EXPECT_LT(ChannelRms(out, 0, 150 * kMs, 240 * kMs), 1e-6); // silence between
}

TEST(VoiceEffects, ReverbTailGrowsWithRoomSize)
{
    MonoBuffer in(kSampleRate / 10, 0.0f);
    in[10] = 1.0f;
    double previous = 0;
    for (int state = 1; state <= 3; ++state) {
        StereoBuffer out = ApplyPreset(3, state, in);
        ASSERT_GT(StereoFrames(out), 900 * kMs);
        double tail = ChannelRms(out, 0, 400 * kMs, 400 * kMs) + ChannelRms(out, 1, 400 * kMs, 400 * kMs);
        EXPECT_GT(tail, previous * 1.2) << "state " << state;
        previous = tail;
        // Left and right are decorrelated, which gives the room its width.
        EXPECT_NE(out[300 * kMs * 2], out[300 * kMs * 2 + 1]);
    }
}

struct FilterCase {
    const char* name;
    int id, state;
    double passHz, cutHz;
    double minRatio; // gain at passHz over gain at cutHz
};

class FilterPresets : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterPresets, ShapeTheSpectrumAsNamed)
{
    const FilterCase& c = GetParam();
    double pass = SineGain(c.id, c.state, c.passHz);
    double cut = SineGain(c.id, c.state, c.cutHz);
    EXPECT_GT(pass / cut, c.minRatio) << c.name << ": " << pass << " vs " << cut;
}

INSTANTIATE_TEST_SUITE_P(VoiceEffects, FilterPresets,
                         ::testing::Values(FilterCase{"presence", 1, 3, 3000, 500, 2.2},
                                           FilterCase{"warm balance", 4, 3, 100, 8000, 3.0},
                                           FilterCase{"underwater", 6, 2, 200, 4000, 10.0},
                                           FilterCase{"loudspeaker lows", 7, 1, 1000, 80, 4.0},
                                           FilterCase{"telephone lows", 7, 2, 1000, 100, 4.0},
                                           FilterCase{"telephone highs", 7, 2, 1000, 8000, 4.0},
                                           FilterCase{"handset highs", 7, 3, 1000, 6000, 4.0}),
                         [](const auto& param) {
                             std::string n = param.param.name;
                             std::replace(n.begin(), n.end(), ' ', '_');
                             return n;
                         });

TEST(VoiceEffects, PresenceLeavesTheLowMiddleAlone)
{
    EXPECT_NEAR(SineGain(1, 3, 500), 1.0, 0.15);
}

TEST(VoiceEffects, CompressorNarrowsTheGapBetweenLoudAndQuiet)
{
    auto settled = [](int state, double amplitude) {
        StereoBuffer out = ApplyPreset(2, state, Sine(440, 0.5, amplitude));
        return ChannelRms(out, 0, 200 * kMs, 200 * kMs);
    };
    double previous = 10.0; // the input's loud-to-quiet ratio
    for (int state = 1; state <= 3; ++state) {
        double ratio = settled(state, 0.8) / settled(state, 0.08);
        EXPECT_LT(ratio, previous * 0.8) << "state " << state;
        previous = ratio;
    }
}

TEST(VoiceEffects, FlangerSweepsAndTremoloPulsesTheLevel)
{
    MonoBuffer in = Sine(1000, 3.0, 0.3);
    EXPECT_GT(Swing(ApplyPreset(5, 2, in), 0, 100 * kMs, 3000 * kMs), 1.5);
    EXPECT_GT(Swing(ApplyPreset(8, 3, in), 0, 100 * kMs, 1000 * kMs), 2.5);
    EXPECT_LT(Swing(ApplyPreset(0, 0, in), 0, 100 * kMs, 3000 * kMs), 1.05); // off: steady
}

TEST(VoiceEffects, WobbleBendsThePitchOfASteadyTone)
{
    MonoBuffer in = Sine(440, 2.0, 0.3);
    StereoBuffer out = ApplyPreset(6, 1, in);
    double lo = 1e9, hi = 0;
    for (std::size_t at = 100 * kMs; at + 40 * kMs < 1900 * kMs; at += 20 * kMs) {
        double hz = ZeroCrossingHz(out.data() + at * 2, 40 * kMs, 2);
        lo = std::min(lo, hz);
        hi = std::max(hi, hz);
    }
    EXPECT_GT(hi - lo, 15.0);
}

TEST(VoiceEffects, MovingPresetsPanTheVoiceAcrossTheSides)
{
    MonoBuffer in = Sine(500, 6.0, 0.3);
    EXPECT_TRUE(PansBothWays(ApplyPreset(8, 1, in), 0, 500 * kMs));  // wind tunnel: fast
    EXPECT_TRUE(PansBothWays(ApplyPreset(8, 2, in), 0, 4200 * kMs)); // surround: slow
    EXPECT_FALSE(PansBothWays(ApplyPreset(8, 2, in), 0, 300 * kMs));
    EXPECT_TRUE(PansBothWays(ApplyPreset(6, 3, in), 0, 3000 * kMs)); // flying
}

TEST(VoiceEffects, OctaveShiftDoublesOrHalvesThePitch)
{
    MonoBuffer in = Sine(440, 1.0, 0.3);
    StereoBuffer up = ApplyPreset(256, 1, in);
    StereoBuffer down = ApplyPreset(256, 2, in);
    EXPECT_NEAR(ZeroCrossingHz(up.data() + 200 * kMs * 2, 600 * kMs, 2), 880, 30);
    EXPECT_NEAR(ZeroCrossingHz(down.data() + 200 * kMs * 2, 600 * kMs, 2), 220, 12);
}

TEST(VoiceEffects, PitchCorrectionPullsASharpNoteOntoItsTarget)
{
    MonoBuffer in = Sine(452.9, 1.0, 0.3); // 0.5 semitone sharp of A
    std::vector<PitchCorrection> corrections = {{0, -0.5f}, {kSampleRate / 2, 0.0f}};
    StereoBuffer out = ApplyPreset(257, 1, in, corrections);
    EXPECT_NEAR(ZeroCrossingHz(out.data() + 100 * kMs * 2, 350 * kMs, 2), 440, 5);
    EXPECT_NEAR(ZeroCrossingHz(out.data() + 600 * kMs * 2, 350 * kMs, 2), 452.9, 5);
}

} // namespace
} // namespace melodrift::sonobox
