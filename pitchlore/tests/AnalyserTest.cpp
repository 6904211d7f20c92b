#include "Analyser.h"
#include "LogLines.h"
#include "SungMelody.h"

#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using pitchlore::Analyser;
using pitchlore::AnalyserConfig;

namespace {

using LogCapture = melodrift::testsupport::LogLines;

TEST(AnalyserConfig, AcceptsTheDocumentedRanges)
{
    struct Case {
        int32_t tempo, TS, FFT;
        uint32_t FPB;
        bool ok;
    } cases[] = {
        {50, 0, 2048, 20, true},   {220, 0, 2048, 20, true}, {49, 0, 2048, 20, false}, {221, 0, 2048, 20, false},
        {120, -1, 2048, 20, false}, {120, 4, 2048, 20, true}, {120, 5, 2048, 20, false}, {120, 0, 0, 192, true},
        {120, 0, 2048, 0, false},  {120, 0, -2, 20, false},  {120, 0, 2048, 100000, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnalyserConfig::make(c.tempo, c.TS, c.FFT, c.FPB).has_value(), c.ok)
            << c.tempo << " " << c.TS << " " << c.FFT << " " << c.FPB;
}

TEST(AnalyserConfig, DerivesBeatsGridAndBand)
{
    struct Case {
        int32_t tempo, TS;
        uint32_t FPB;
        uint32_t BPB, NPB;
    } cases[] = {
        {120, 0, 12, 4, 4}, {120, 0, 11, 4, 2}, {121, 0, 12, 4, 2}, {60, 3, 40, 3, 2}, {200, 3, 4, 3, 2},
        {100, 1, 20, 3, 4}, {100, 2, 20, 2, 4}, {100, 4, 20, 3, 4},
    };
    for (const Case& c : cases) {
        auto cfg = AnalyserConfig::make(c.tempo, c.TS, 2048, c.FPB);
        ASSERT_TRUE(cfg);
        EXPECT_EQ(cfg->BPB, c.BPB) << c.TS;
        EXPECT_EQ(cfg->NPB, c.NPB) << c.tempo << " " << c.TS << " " << c.FPB;
    }
    auto small = AnalyserConfig::make(120, 0, 2048, 20);
    EXPECT_EQ(small->lowestBin, 4u);
    EXPECT_EQ(small->highestBin, 167u);  // exclusive: the band is 4..166
    auto large = AnalyserConfig::make(120, 0, 4096, 20);
    EXPECT_EQ(large->lowestBin, 7u);
    EXPECT_EQ(large->highestBin, 334u);
    EXPECT_NEAR(large->referenceBin, 40.867, 1e-3);
}

TEST(Analyser, ResetLogsItsConfigurationAndRefusalLeavesItEmpty)
{
    LogCapture log;
    Analyser a;
    ASSERT_TRUE(a.reset(120, 1, 2048, 20));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("Reset analyser: TS=1, FPB=20, FFT=2048, BPB=3, NPB=4\n"), std::string::npos);
    testsignal::TrackBuilder(a).note(60, 30);
    EXPECT_EQ(a.tracks().count(), 30u);

    EXPECT_FALSE(a.reset(300, 0, 2048, 20));
    EXPECT_EQ(a.tracks().count(), 0u);
    auto s = testsignal::harmonicSpectrum(2048, 440, {1, 0.5});
    a.frame(0, s.data());
    EXPECT_EQ(a.tracks().count(), 0u) << "an unconfigured analyser takes no frames";
    EXPECT_FALSE(a.analyseMelody(-1).has_value());
}

TEST(Analyser, AppendsOrOverwritesFramesByIndex)
{
    Analyser a;
    ASSERT_TRUE(a.reset(120, 0, 4410, 4));
    auto voiced = testsignal::harmonicSpectrum(4410, 440, {1, 0.5, 0.3});
    std::vector<float> silent(2205, 0.0f);
    a.frame(0, voiced.data());
    a.frame(1, voiced.data());
    a.frame(2, voiced.data());
    a.frame(10, silent.data());  // past the end: stored as frame 3
    EXPECT_EQ(a.tracks().count(), 4u);
    EXPECT_EQ(a.tracks().pitch()[3], -1.0);
    EXPECT_EQ(a.tracks().amplitude()[3], 0.0);
    EXPECT_EQ(a.tracks().frequency()[3], 0.0);
    EXPECT_EQ(a.tracks().completedBeats(), 1u);

    a.frame(1, silent.data());  // overwrite
    EXPECT_EQ(a.tracks().count(), 4u);
    EXPECT_EQ(a.tracks().pitch()[1], -1.0);
    EXPECT_DOUBLE_EQ(a.tracks().pitch()[0], 69.0);
    EXPECT_DOUBLE_EQ(a.tracks().frequency()[0], 440.0);
    EXPECT_FLOAT_EQ(static_cast<float>(a.tracks().loudest()), voiced[44]);
}

TEST(Analyser, TracksGrowInBlocksOfEightBarsAndKeepTheirFrames)
{
    Analyser a;
    ASSERT_TRUE(a.reset(120, 1, 2048, 5));  // a block is 8 * 3 * 5 = 120 frames
    testsignal::TrackBuilder b(a);
    for (uint32_t i = 0; i < 1000; ++i)
        b.frame(40 + (i % 40), 1.0 + i);
    const auto& t = a.tracks();
    EXPECT_EQ(t.count(), 1000u);
    EXPECT_EQ(t.completedBeats(), 200u);
    EXPECT_EQ(t.blocks(), 9u);
    for (uint32_t i = 0; i < 1000; i += 37) {
        EXPECT_EQ(t.pitch()[i], 40 + (i % 40));
        EXPECT_EQ(t.amplitude()[i], 1.0 + i);
    }
    EXPECT_EQ(t.loudest(), 1000.0);
}

TEST(Analyser, SpectralShapesAreKeptOnlyWhileEveryFrameHasOne)
{
    // Spectra of exactly FFT/2 values at every transform size (the sanitiser
    // build catches a band or harmonic read past them).
    for (int32_t fft : {16, 256, 2048, 4410, 8192}) {
        Analyser a;
        ASSERT_TRUE(a.reset(120, 0, fft, 4));
        const double binHz = 44100.0 / fft;
        std::vector<float> voiced = testsignal::harmonicSpectrum(fft, std::max(440.0, 4 * binHz), {1, 0.5, 0.3});
        voiced.resize(static_cast<size_t>(fft / 2));
        std::vector<float> hiss(static_cast<size_t>(fft / 2), 0.01f);
        a.frame(0, voiced.data());
        a.frame(1, hiss.data());
        ASSERT_NE(a.tracks().shapes(), nullptr) << fft;
        if (fft >= 2048) {
            // The harmonic frame's energy sits on its harmonics; flat noise
            // has none there and no fundamental to measure it by.
            EXPECT_GT(a.tracks().shapes()[0].harmonicity, 0.8f) << fft;
            EXPECT_EQ(a.tracks().shapes()[1].harmonicity, 0.0f) << fft;
            EXPECT_GT(a.tracks().shapes()[1].band[20], a.tracks().shapes()[0].band[20]) << fft;
        }
        // A frame stored without a spectrum leaves the tracks without shapes
        // rather than with a hole in them; a reset brings them back.
        a.storeFrame(2, pitchlore::FrameValue{1.0, 69.0, 440.0});
        EXPECT_EQ(a.tracks().shapes(), nullptr) << fft;
        ASSERT_TRUE(a.reset(120, 0, fft, 4));
        a.frame(0, voiced.data());
        EXPECT_NE(a.tracks().shapes(), nullptr) << fft;
    }
}

}  // namespace
