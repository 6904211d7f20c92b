// Per-frame fundamental estimation on a magnitude spectrum: the main peak of
// the search band, a walk for a lower fundamental whose harmonic the main
// peak is, a check that the main peak has harmonics of its own, and one for
// the odd harmonics of a fundamental too faint to find.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pitchlore {

struct Fundamental {
    double position = 0;  // fractional bin; 0 for an unvoiced frame
    double peak = 0;      // largest value of the search band
};

class FundamentalEstimator {
public:
    // bins: number of values in spectrum (FFT/2). The band is
    // [lowestBin, highestBin). Nothing outside [0, bins) is ever read.
    FundamentalEstimator(const float* spectrum, size_t bins, uint32_t lowestBin, uint32_t highestBin);

    Fundamental estimate() const;

    // Window width of a bin position: about a whole tone, never below 2.
    static int window(double position);

    bool peakTest(int k, double threshold) const;

private:
    double at(long i) const { return i >= 0 && static_cast<size_t>(i) < m_bins ? m_s[i] : 0.0; }
    bool meanTest(int k, int w) const;
    bool dropTest(int k, int w) const;
    double refine(int k) const;
    int findLowerCandidate(int k, double threshold) const;
    bool lowerMatchesMain(double lower, double main) const;
    bool hasHarmonicSupport(double main, double threshold) const;
    bool hasOddHalfHarmonics(double main) const;

    const float* m_s;
    size_t m_bins;
    int m_lowest;
    int m_highest;
};

}  // namespace pitchlore
