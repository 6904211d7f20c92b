#include "AnalyserConfig.h"
#include "FundamentalEstimator.h"
#include "SungMelody.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using pitchlore::FundamentalEstimator;

namespace {

// The pitch the analyser's band gives a spectrum of this transform size; -1
// when unvoiced.
double pitchOf(const std::vector<float>& s, int FFT)
{
    auto config = pitchlore::AnalyserConfig::make(100, 0, FFT, 16);
    if (!config)
        return -1.0;
    auto f = FundamentalEstimator(s.data(), s.size(), config->lowestBin, config->highestBin).estimate();
    if (f.position <= 0)
        return -1.0;
    return 12 * std::log2(f.position / config->referenceBin) + 69;
}

TEST(FundamentalEstimator, WindowIsAboutAWholeToneAndNeverBelowTwo)
{
    struct Case {
        double position;
        int width;
    } cases[] = {{0, 2}, {3, 2}, {20, 2}, {25, 3}, {44, 5}, {100, 12}, {333, 41}};
    for (const Case& c : cases)
        EXPECT_EQ(FundamentalEstimator::window(c.position), c.width) << c.position;
}

TEST(FundamentalEstimator, FindsTheFundamentalOfHarmonicSpectra)
{
    struct Case {
        const char* what;
        int FFT;
        double f0;
        std::vector<double> harmonics;
        double pitch;  // -1 unvoiced
        double tolerance;
    } cases[] = {
        // 440 Hz falls exactly on bin 44 of a 4410-point transform.
        {"clean 440 Hz on a bin", 4410, 440, {1.0, 0.5, 0.3}, 69.0, 1e-9},
        {"440 Hz between bins", 2048, 440, {1.0, 0.5, 0.3}, 69.0, 0.15},
        {"440 Hz, large transform", 4096, 440, {1.0, 0.6, 0.4, 0.2}, 69.0, 0.1},
        {"strong second harmonic over a weak fundamental", 4096, 220, {0.25, 1.0, 0.5, 0.3}, 57.0, 0.1},
        {"low voice", 4096, 110, {0.6, 1.0, 0.8, 0.5, 0.3}, 45.0, 0.3},
        {"high voice", 2048, 880, {1.0, 0.4}, 81.0, 0.1},
        {"a lone sinusoid is no voice", 4096, 440, {1.0}, -1.0, 0},
        // A soprano on "oo": the second harmonic 5% of the fundamental.
        {"a nearly pure high voice", 8192, 523.25, {1.0, 0.05, 0.02}, 72.0, 0.1},
        {"a harmonic lost in the floor is none", 8192, 523.25, {1.0, 0.01}, -1.0, 0},
    };
    for (const auto& c : cases) {
        auto s = testsignal::harmonicSpectrum(c.FFT, c.f0, c.harmonics);
        double pitch = pitchOf(s, c.FFT);
        if (c.pitch < 0)
            EXPECT_EQ(pitch, -1.0) << c.what;
        else
            EXPECT_NEAR(pitch, c.pitch, c.tolerance) << c.what;
    }
}

// A low line under the voice is its fundamental only when the main peak sits
// on one of its harmonics; between two harmonics it is a hum, never the pitch.
TEST(FundamentalEstimator, ALowPeakIsTheFundamentalOnlyUnderOneOfItsHarmonics)
{
    struct Case {
        const char* what;
        double low;      // Hz, a lone line (0: none)
        double f0;       // the voice
        std::vector<double> harmonics;
        double pitch;    // -1 unvoiced
    } cases[] = {
        // 440 Hz is 4.4 times 100 Hz: inside a whole tone of 4 x 100 and 5 x 100
        // both, yet no harmonic of it.
        {"100 Hz hum under A4", 100, 440, {1.0, 0.5, 0.3}, -1.0},
        {"120 Hz hum under 660 Hz", 120, 660, {1.0, 0.5, 0.3}, -1.0},
        // A low voice whose fifth harmonic is its strongest is still low.
        {"low voice, loudest fifth harmonic", 0, 110, {0.3, 0.4, 0.6, 0.8, 1.0, 0.5}, 45.0},
        {"low voice, loudest fourth harmonic", 0, 98, {0.4, 0.5, 0.7, 1.0, 0.6}, 43.0},
        // A man's G2 whose fundamental is too faint to find: its third and
        // fifth harmonics keep it from reading as G3; one line a fifth over a
        // G3 does not make it G2.
        {"low voice, fundamental faint under the second harmonic", 0, 98, {0.04, 1.0, 0.35, 0.2, 0.45, 0.2}, 43.0},
        {"G3 with a line a fifth above", 294, 196, {1.0, 0.5, 0.3}, 55.0},
    };
    const int FFT = 8192;
    for (const auto& c : cases) {
        auto s = testsignal::harmonicSpectrum(FFT, c.f0, c.harmonics);
        if (c.low > 0) {
            auto hum = testsignal::harmonicSpectrum(FFT, c.low, {0.5});
            for (size_t i = 0; i < s.size(); ++i)
                s[i] += hum[i];
        }
        double pitch = pitchOf(s, FFT);
        if (c.pitch < 0)
            EXPECT_EQ(pitch, -1.0) << c.what;
        else
            EXPECT_NEAR(pitch, c.pitch, 0.2) << c.what;
    }
}

// The analyser's band starts under the lowest sung notes and over mains hum.
TEST(FundamentalEstimator, AQuietVoiceOverMainsHumIsTheVoice)
{
    struct Case {
        const char* what;
        double hum;  // Hz, a lone line twice as loud as the voice's fundamental
        double f0;
        std::vector<double> harmonics;
        double pitch;
        bool coarse;  // also with the coarser transform, whose band starts at 75 Hz
    } cases[] = {
        {"60 Hz hum under a quiet A-flat 4", 60, 415.3, {0.5, 0.25, 0.15}, 68.0, true},
        {"50 Hz hum under a quiet E4", 50, 329.6, {0.5, 0.25, 0.15}, 64.0, true},
        {"a bass's D2 with no hum", 0, 73.4, {0.6, 1.0, 0.8, 0.5, 0.3}, 38.0, false},
    };
    for (int FFT : {4096, 8192}) {
        for (const auto& c : cases) {
            if (FFT == 4096 && !c.coarse)
                continue;
            auto s = testsignal::harmonicSpectrum(FFT, c.f0, c.harmonics);
            if (c.hum > 0) {
                auto hum = testsignal::harmonicSpectrum(FFT, c.hum, {1.0});
                for (size_t i = 0; i < s.size(); ++i)
                    s[i] += hum[i];
            }
            EXPECT_NEAR(pitchOf(s, FFT), c.pitch, 0.3) << c.what << " at " << FFT;
        }
    }
}

TEST(FundamentalEstimator, SilenceAndNoiseAreUnvoiced)
{
    std::vector<float> silence(1024, 0.0f);
    auto f = FundamentalEstimator(silence.data(), silence.size(), 3, 167).estimate();
    EXPECT_EQ(f.position, 0.0);
    EXPECT_EQ(f.peak, 0.0);

    int voiced = 0;
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> level(0.5f, 1.0f);
        std::vector<float> noise(1024);
        for (float& v : noise)
            v = level(random);
        auto n = FundamentalEstimator(noise.data(), noise.size(), 3, 167).estimate();
        EXPECT_GT(n.peak, 0.9);
        voiced += n.position > 0;
    }
    EXPECT_EQ(voiced, 0);
}

TEST(FundamentalEstimator, PeaksAtTheBottomOfSmallSpectraStayInside)
{
    // With a 64-point transform the band is bins 1..4 and every window
    // reaches below bin 0; the vector is exactly as long as the spectrum so
    // the address sanitizer sees any read outside it.
    for (int peak = 1; peak <= 4; ++peak) {
        std::vector<float> s(32, 0.01f);
        s[static_cast<size_t>(peak)] = 1.0f;
        s[static_cast<size_t>(2 * peak)] = 0.6f;
        s[static_cast<size_t>(3 * peak)] = 0.4f;
        auto f = FundamentalEstimator(s.data(), s.size(), 1, 5).estimate();
        EXPECT_FLOAT_EQ(f.peak, 1.0f);
        EXPECT_TRUE(f.position == 0 || std::fabs(f.position - peak) < 0.5) << peak;
    }
    // A peak on the last bin of a tiny spectrum: its right side runs off.
    std::vector<float> edge{0.0f, 0.1f, 0.2f, 1.0f};
    auto f = FundamentalEstimator(edge.data(), edge.size(), 1, 4).estimate();
    EXPECT_EQ(f.position, 0.0);
}

TEST(FundamentalEstimator, RejectsAFlatTopThatNeverDrops)
{
    // A wide hump passes neither the mean test nor the drop test.
    std::vector<float> s(1024, 0.0f);
    for (int i = 30; i < 80; ++i)
        s[static_cast<size_t>(i)] = 1.0f;
    FundamentalEstimator e(s.data(), s.size(), 3, 167);
    EXPECT_FALSE(e.peakTest(30, 0.08));
    EXPECT_EQ(e.estimate().position, 0.0);
}

}  // namespace
