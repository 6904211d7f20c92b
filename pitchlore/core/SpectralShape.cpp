#include "SpectralShape.h"

#include "AnalyserConfig.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pitchlore {

namespace {

constexpr double kLowestBand = 100.0;    // Hz, centre of the first band
constexpr double kHarmonicTop = 4000.0;  // Hz
// The first band of a consonant's hiss: 1.9 kHz, above the first formants
// and above the top harmonics of a soft high voice swept by its vibrato.
constexpr int kHissBand = 17;
// How far under a frame's loudest band (natural log of power, 50 dB) a band
// still tells its shape.
constexpr double kDepth = 11.5;
// The typical change is never taken below this (natural log summed over the
// hiss bands): a synthetic or very clean voice barely changes at all, and its
// smallest ripple must not count as a consonant.
constexpr double kLeastTypical = 1.0;

}  // namespace

ShapeMeter::ShapeMeter(int32_t fft, size_t bins)
    : m_binHz(fft > 0 ? kSampleRate / fft : 0.0)
    , m_bins(fft > 0 ? bins : 0)
{
    if (m_bins == 0)
        return;
    auto binOf = [&](double hz) { return std::min(m_bins, static_cast<size_t>(hz / m_binHz + 0.5)); };
    // Triangular bands overlapping by half: a harmonic gliding with the
    // vibrato moves its energy smoothly from one band to the next.
    m_bands.resize(FrameShape::kBands);
    for (int b = 0; b < FrameShape::kBands; ++b) {
        const double low = kLowestBand * std::exp2((b - 1) / 4.0);
        const double centre = kLowestBand * std::exp2(b / 4.0);
        const double high = kLowestBand * std::exp2((b + 1) / 4.0);
        Band& band = m_bands[static_cast<size_t>(b)];
        band.from = binOf(low);
        for (size_t k = band.from, to = std::min(m_bins, binOf(high) + 1); k < to; ++k) {
            const double hz = static_cast<double>(k) * m_binHz;
            const double w = hz < centre ? (hz - low) / (centre - low) : (high - hz) / (high - centre);
            band.weights.push_back(std::max(0.0, w));
        }
    }
}

FrameShape ShapeMeter::measure(const float* spectrum, double fundamental) const
{
    FrameShape shape;
    if (spectrum == nullptr || m_bins == 0)
        return shape;
    auto power = [&](size_t k) { return static_cast<double>(spectrum[k]) * spectrum[k]; };
    for (int b = 0; b < FrameShape::kBands; ++b) {
        const Band& band = m_bands[static_cast<size_t>(b)];
        double energy = 0;
        for (size_t i = 0; i < band.weights.size(); ++i)
            energy += band.weights[i] * power(band.from + i);
        shape.band[b] = static_cast<float>(std::log(energy + 1e-12));
    }
    if (fundamental > 0) {
        auto binOf = [&](double hz) { return std::min(m_bins, static_cast<size_t>(hz / m_binHz + 0.5)); };
        const size_t top = binOf(kHarmonicTop);
        double total = 0, harmonic = 0;
        for (size_t k = binOf(kLowestBand / 2); k < top; ++k)
            total += power(k);
        const double reach = std::max(2.0, fundamental * 0.03);
        for (double h = fundamental; h + reach < static_cast<double>(top); h += fundamental) {
            const size_t to = std::min(m_bins - 1, static_cast<size_t>(h + reach));
            for (size_t k = static_cast<size_t>(std::max(0.0, h - reach)); k <= to; ++k)
                harmonic += power(k);
        }
        shape.harmonicity = total > 0 ? static_cast<float>(std::min(1.0, harmonic / total)) : 0.0f;
    }
    return shape;
}

double voiceLoudness(const FrameShape& shape)
{
    double power = 0;
    for (int b = 0; b < kHissBand; ++b)
        power += std::exp(static_cast<double>(shape.band[b]));
    return 0.5 * std::log(power + 1e-30);
}

std::vector<double> consonantRise(const FrameShape* shapes, uint32_t count, const std::vector<bool>& voiced,
                                  uint32_t reach)
{
    if (shapes == nullptr || count == 0)
        return {};
    // The hiss bands less the mean of all bands: a change of level alone is
    // no change of shape. Bands far under the frame's loudest are taken at
    // that depth: what a clean voice leaves there is window leakage, whose
    // log swings wildly with the vibrato.
    constexpr int kHiss = FrameShape::kBands - kHissBand;
    std::vector<std::array<double, kHiss>> hiss(count);
    for (uint32_t i = 0; i < count; ++i) {
        const double loudest = *std::max_element(std::begin(shapes[i].band), std::end(shapes[i].band));
        std::array<double, FrameShape::kBands> band{};
        double mean = 0;
        for (size_t b = 0; b < band.size(); ++b) {
            band[b] = std::max<double>(shapes[i].band[b], loudest - kDepth);
            mean += band[b];
        }
        mean /= FrameShape::kBands;
        for (size_t b = 0; b < kHiss; ++b)
            hiss[i][b] = band[kHissBand + b] - mean;
    }
    std::vector<double> change(count, 0.0);
    for (uint32_t i = 1; i < count; ++i)
        for (size_t b = 0; b < kHiss; ++b)
            change[i] += std::max(0.0, hiss[i][b] - hiss[i - 1][b]);
    // Each frame's change against the typical change between the voiced
    // frames around it, not the whole take's: a take changed further away
    // (bars sung again) moves no cut here.
    std::vector<double> rise(count, 0.0);
    std::vector<double> around;
    for (uint32_t i = 1; i < count; ++i) {
        around.clear();
        const uint32_t from = i > reach ? i - reach : 1;
        const uint32_t to = static_cast<uint32_t>(std::min<uint64_t>(count, uint64_t{i} + reach + 1));
        for (uint32_t k = from; k < to; ++k)
            if (k < voiced.size() && voiced[k])
                around.push_back(change[k]);
        double scale = kLeastTypical;
        if (!around.empty()) {
            auto mid = around.begin() + static_cast<std::ptrdiff_t>(around.size() / 2);
            std::nth_element(around.begin(), mid, around.end());
            scale = std::max(scale, *mid);
        }
        rise[i] = change[i] / scale;
    }
    return rise;
}

}  // namespace pitchlore
