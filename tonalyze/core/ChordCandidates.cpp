#include "ChordCandidates.h"

#include <algorithm>

namespace tonalyze {
namespace {

struct Scored {
    int function;
    int64_t score;
};

}  // namespace

CandidateList rankCandidates(const DegreeProfile& w)
{
    std::array<Scored, 6> s = {{
        {kI, 50 * w[0] + 48 * w[4] + 49 * w[7] + 10 * w[2]},
        {kVI, 50 * w[9] + 48 * w[0] + 49 * w[4] + 10 * w[7]},
        {kIV, 50 * w[5] + 48 * w[9] + 49 * w[0] + 10 * w[4]},
        {kV, 50 * w[7] + 48 * w[11] + 49 * w[2] + 10 * w[5]},
        {kII, 50 * w[2] + 48 * w[5] + 49 * w[9] + 10 * w[0]},
        {kIII, 50 * w[4] + 48 * (w[7] + w[8]) + 49 * w[11] + 10 * w[2]},
    }};
    CandidateList out;
    std::stable_sort(s.begin(), s.end(), [](const Scored& a, const Scored& b) { return a.score > b.score; });
    const int64_t best = s[0].score;
    if (best < 1) {
        // Nothing sounded: every triad is as good as any other.
        static constexpr int kTableOrder[6] = {kI, kVI, kIV, kV, kII, kIII};
        for (int i = 0; i < 6; ++i)
            out[i] = {kTableOrder[i], 80};
        return out;
    }
    for (int i = 0; i < 6 && s[i].score != 0 && 4 * s[i].score >= best; ++i)
        out[i] = {s[i].function, static_cast<int>(100 * s[i].score / best)};
    return out;
}

}  // namespace tonalyze
