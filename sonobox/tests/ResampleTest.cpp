// A take recorded at a low rate enters the 44.1 kHz mix band-limited: a
// linear conversion would mirror the voice above its own band.

#include <gtest/gtest.h>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "SoundFile.h"
#include "SungTake.h"
#include "TempFolder.h"
#include "TestSignals.h"
#include "WavFile.h"

namespace melodrift::sonobox {
namespace {

// Power of a Hann-windowed spectrum between two frequencies.
struct Spectrum {
    explicit Spectrum(const MonoBuffer& signal)
        : m_power(signal.size() / 2 + 1), m_binHz(static_cast<double>(kSampleRate) / static_cast<double>(signal.size()))
    {
        const std::size_t n = signal.size();
        std::vector<float> windowed(n);
        for (std::size_t i = 0; i < n; ++i)
            windowed[i] = signal[i] * static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n));
        std::vector<fftwf_complex> bins(n / 2 + 1);
        fftwf_plan plan = fftwf_plan_dft_r2c_1d(static_cast<int>(n), windowed.data(), bins.data(), FFTW_ESTIMATE);
        fftwf_execute(plan);
        fftwf_destroy_plan(plan);
        for (std::size_t k = 0; k < bins.size(); ++k)
            m_power[k] = static_cast<double>(bins[k][0]) * bins[k][0] + static_cast<double>(bins[k][1]) * bins[k][1];
    }
    double Power(double fromHz, double toHz) const
    {
        double sum = 0;
        for (std::size_t k = 0; k < m_power.size(); ++k)
            if (k * m_binHz >= fromHz && k * m_binHz < toHz)
                sum += m_power[k];
        return sum;
    }

private:
    std::vector<double> m_power;
    double m_binHz;
};

TEST(SoundFileRate, ASweepTakenAt16kHzComesIn44kHzWithoutImagesAboveItsBand)
{
    // Two seconds sweeping 200 Hz to 7 kHz, below the 8 kHz the take can hold.
    constexpr int kTakeRate = 16000;
    constexpr double kSeconds = 2, kLow = 200, kHigh = 7000;
    std::vector<float> sweep(static_cast<std::size_t>(kSeconds * kTakeRate));
    for (std::size_t i = 0; i < sweep.size(); ++i) {
        const double t = static_cast<double>(i) / kTakeRate;
        const double phase = 2 * std::numbers::pi * (kLow * t + (kHigh - kLow) * t * t / (2 * kSeconds));
        const double fade = std::min({1.0, t / 0.05, (kSeconds - t) / 0.05});
        sweep[i] = static_cast<float>(0.5 * fade * std::sin(phase));
    }
    testsupport::TempFolder folder("sonobox-rate");
    ASSERT_TRUE(testsupport::WriteWav(folder.File("take16k.wav"), testsupport::ToPcm16(sweep), kTakeRate));

    const std::optional<MonoBuffer> take = ReadMonoFile(folder.File("take16k.wav"));
    ASSERT_TRUE(take.has_value());
    EXPECT_EQ(take->size(), static_cast<std::size_t>(kSeconds * kSampleRate)) << "the take keeps its length";

    const Spectrum spectrum(*take);
    const double band = spectrum.Power(kLow, kHigh);
    const double images = spectrum.Power(8500, kSampleRate / 2.0);
    ASSERT_GT(band, 0);
    EXPECT_LT(10 * std::log10(images / band), -70.0) << "no mirrored voice above the take's band";

    double inRms = 0, outRms = 0;
    for (float s : sweep)
        inRms += static_cast<double>(s) * s;
    for (float s : *take)
        outRms += static_cast<double>(s) * s;
    EXPECT_NEAR(std::sqrt(outRms / take->size()), std::sqrt(inRms / sweep.size()), 0.01) << "the level is kept";
}

TEST(SoundFileRate, ConversionKeepsPitchAndLeavesTheMixRateAlone)
{
    const MonoBuffer tone = test::Sine(440.0, 1.0, 0.5);
    EXPECT_EQ(Resample(tone, kSampleRate, kSampleRate), tone);
    EXPECT_TRUE(Resample({}, 22050, kSampleRate).empty());
    const MonoBuffer down = Resample(tone, kSampleRate, 22050);
    ASSERT_EQ(down.size(), 22050u);
    // Heard at 22.05 kHz the same tone: half the crossings per sample.
    EXPECT_NEAR(test::ZeroCrossingHz(down.data() + 1000, 20000) / 2, 440.0, 2.0);
}

} // namespace
} // namespace melodrift::sonobox
