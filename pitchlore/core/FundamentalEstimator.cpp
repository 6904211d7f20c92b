#include "FundamentalEstimator.h"

#include <algorithm>
#include <cmath>

namespace pitchlore {

namespace {

// Frequency ratio of a whole tone; every window width derives from it.
const double kWholeTone = std::pow(2.0, 1.0 / 6.0);
// Share of the peak threshold a harmonic must reach to support the main peak.
constexpr double kHarmonicFloor = 0.25;
// How an odd harmonic of half the main peak must stand out: over its valley,
// and as a share of the main peak.
constexpr double kOddHalfContrast = 3.0;
constexpr double kOddHalfFloor = 0.1;

}  // namespace

FundamentalEstimator::FundamentalEstimator(const float* spectrum, size_t bins, uint32_t lowestBin,
                                           uint32_t highestBin)
    : m_s(spectrum)
    , m_bins(bins)
    , m_lowest(static_cast<int>(lowestBin))
    , m_highest(static_cast<int>(std::min<size_t>(highestBin, bins)))
{
}

int FundamentalEstimator::window(double position)
{
    int w = static_cast<int>((kWholeTone - 1.0) * position + 0.5);
    return std::max(2, w);
}

Fundamental FundamentalEstimator::estimate() const
{
    Fundamental result;
    if (m_s == nullptr || m_lowest >= m_highest)
        return result;
    int k = m_lowest;
    for (int i = m_lowest + 1; i < m_highest; ++i)
        if (m_s[i] > m_s[k])
            k = i;
    result.peak = m_s[k];
    double threshold = 0.08 * result.peak;
    if (!peakTest(k, threshold))
        return result;
    double main = refine(k);
    int candidate = findLowerCandidate(k, threshold);
    if (candidate >= 0) {
        // A lower peak that passed is trusted only as the main peak's root;
        // if it is not, the frame is too ambiguous to call voiced.
        double lower = refine(candidate);
        result.position = lowerMatchesMain(lower, main) ? lower : 0.0;
        return result;
    }
    if (hasHarmonicSupport(main, threshold))
        result.position = hasOddHalfHarmonics(main) ? main / 2 : main;
    return result;
}

bool FundamentalEstimator::peakTest(int k, double threshold) const
{
    int w = window(k);
    if (meanTest(k, w) && at(k) > threshold)
        return true;
    return dropTest(k, w);
}

bool FundamentalEstimator::meanTest(int k, int w) const
{
    long from = static_cast<long>(k) - 3 * w;
    if (from < 0)
        return true;
    double sum = 0;
    int count = 0;
    for (long i = from; i < k + 3 * w; ++i) {
        if (i >= k - 1 && i <= k + 1)
            continue;
        sum += at(i);
        ++count;
    }
    return at(k) > 3.0 * (sum / count);
}

// A side that runs off the spectrum never counts as dropped: missing bins are
// no evidence that the peak ends there.
bool FundamentalEstimator::dropTest(int k, int w) const
{
    double q = 0.25 * at(k);
    bool left = false;
    bool right = false;
    for (int j = 1; j <= 3 * w; ++j) {
        long l = static_cast<long>(k) - j;
        long r = static_cast<long>(k) + j;
        if (!left && l >= 0 && at(l) < q)
            left = true;
        if (!right && static_cast<size_t>(r) < m_bins && at(r) < q)
            right = true;
        if (left && right)
            return true;
        if (j >= 5 && !left && !right)
            return false;
    }
    return false;
}

double FundamentalEstimator::refine(int k) const
{
    double below = at(k - 1);
    double above = at(k + 1);
    double denominator = at(k) - std::min(below, above);
    if (denominator <= 0)
        return k;
    return k + 0.5 * (above - below) / denominator;
}

// Walks up to the main peak looking for a local maximum that holds on for a
// few windows and passes the peak test; returns it or -1.
int FundamentalEstimator::findLowerCandidate(int k, double threshold) const
{
    int candidate = -1;
    double value = 0;
    int counter = 0;
    int limit = 0;
    for (int j = m_lowest; j < k; ++j) {
        double s = at(j);
        if (s > threshold && s > at(j + 1) && s > value) {
            candidate = j;
            value = s;
            counter = 0;
            limit = 3 * window(j);
        } else if (candidate >= 0) {
            if (counter <= limit) {
                ++counter;
            } else if (peakTest(candidate, threshold)) {
                return candidate;
            } else {
                candidate = -1;
                value = 0;
                counter = 0;
            }
        }
    }
    return -1;
}

// The main peak must sit on one harmonic of the lower peak. A whole tone
// around each multiple overlaps its neighbours from the fifth harmonic on and
// would accept almost any main peak over a low hum, so the window is held
// to a quarter of the harmonic spacing.
bool FundamentalEstimator::lowerMatchesMain(double lower, double main) const
{
    for (int h = 2; h <= 8; ++h) {
        double K = h * lower;
        double w = std::min<double>(window(static_cast<int>(K + 0.5)), std::max(2.0, 0.25 * lower));
        if (K - w < main && main < K + w)
            return true;
    }
    return false;
}

bool FundamentalEstimator::hasHarmonicSupport(double main, double threshold) const
{
    for (int h = 2; h <= 4; ++h) {
        int K = static_cast<int>(h * main + 0.5);
        int w = window(K);
        if (K >= 2 * m_highest - w)
            continue;
        double sum = 0;
        double G = 0;
        if (K - 3 * w >= 0) {
            for (int i = K - 3 * w; i <= K + 3 * w; ++i)
                if (i < K - 1 || i > K + 1)
                    sum += at(i);
            for (int i = K - w; i <= K + w; ++i)
                G = std::max(G, at(i));
        }
        // A harmonic need only reach a quarter of the peak threshold (2% of
        // the main peak): a high voice on a round vowel is nearly a pure
        // tone, its second harmonic a few percent of the fundamental, and at
        // 8% whole notes of it were lost as unvoiced.
        if (G > sum / (3 * w - 1) && G > kHarmonicFloor * threshold)
            return true;
    }
    return false;
}

// A low voice can all but lose its fundamental and sing loudest on the second
// harmonic; with no lower peak left to find, the main peak would read an
// octave high. Its odd harmonics give it away: peaks at one and a half and
// two and a half times the main peak, where a voice pitched at the main peak
// has none.
bool FundamentalEstimator::hasOddHalfHarmonics(double main) const
{
    if (main / 2 < m_lowest)
        return false;
    const double peak = at(static_cast<long>(main + 0.5));
    for (double h : {1.5, 2.5}) {
        const int K = static_cast<int>(h * main + 0.5);
        // The valley around it must stop short of the main peak's harmonics,
        // half a main peak away.
        const int w = std::min(window(K), static_cast<int>(main / 4));
        if (w < 1 || K + 2 * w >= static_cast<int>(m_bins))
            return false;
        double valley = 0;
        double G = 0;
        for (int i = K - 2 * w; i <= K + 2 * w; ++i) {
            if (i < K - w || i > K + w)
                valley += at(i);
            else
                G = std::max(G, at(i));
        }
        valley /= 2 * w;
        if (G <= kOddHalfContrast * valley || G <= kOddHalfFloor * peak)
            return false;
    }
    return true;
}

}  // namespace pitchlore
