#include "SongShape.h"

#include <cstdlib>

namespace tonalyze {

bool isModeTonic(int function, int mode)
{
    return (mode >= 0 && function == kI) || (mode <= 0 && function == kVI);
}

bool isModeDominant(int function, int mode)
{
    return (mode >= 0 && function == kV) || (mode <= 0 && function == kIII);
}

bool isModeTonicDegree(int degree, int mode)
{
    return (mode >= 0 && degree == kDo) || (mode <= 0 && degree == kLa);
}

SongShape::SongShape(const std::vector<BarRecord>& bars, const Metre& metre, int pickup)
    : m_bars(bars), m_metre(metre), m_pickup(pickup)
{
}

bool SongShape::canEnd(int x) const
{
    return !valid(x + 1) || !bar(x + 1).longNoteTiedIn();
}

bool SongShape::similar(int a, int b, int n) const
{
    if (n <= 0 || !valid(a) || !valid(b) || !valid(a + n - 1) || !valid(b + n - 1))
        return false;
    const double c = static_cast<double>(m_metre.ticksPerBar());
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const auto& p = bar(a + i).degreeTime;
        const auto& q = bar(b + i).degreeTime;
        int64_t totalP = 0, totalQ = 0, diff = 0;
        for (int k = 0; k < 7; ++k) {
            totalP += p[k];
            totalQ += q[k];
            diff += std::llabs(p[k] - q[k]);
        }
        const double d = std::llabs(totalP - totalQ) / 2.0 + static_cast<double>(diff);
        if (d >= (i == 0 ? c / 4 : c / 2))
            return false;
        sum += d;
        if (d < c / 8)
            sum -= c / 4;
        if (sum > n * c / 5)
            return false;
    }
    return true;
}

int SongShape::boundaryScore(int f, int l) const
{
    if (!valid(f) || !valid(l))
        return 0;
    const auto& first = bar(f);
    int d = 0;
    if (first.degreeTime[kSol] != first.degreeTime[kLa])
        d = first.degreeTime[kSol] > first.degreeTime[kLa] ? 1 : -1;
    for (int i = 0; i < 3; ++i) {
        if (first.first[i].function == kI)
            ++d;
        else if (first.first[i].function == kVI)
            --d;
    }
    const auto& t = bar(l).degreeTime;
    const int64_t twoBeats = 2 * m_metre.ticksPerBeat();
    if (t[kDo] > t[kLa])
        ++d;
    else if (t[kDo] < t[kLa])
        --d;
    else if (t[kRe] >= twoBeats || t[kSol] >= twoBeats)
        ++d;
    else if (!(t[kMi] < twoBeats && t[kTi] < twoBeats))
        --d;
    const int best = late(l)[0].function;
    if (best == kI)
        ++d;
    else if (best == kVI)
        --d;
    return d;
}

bool SongShape::opensOnTonic(int x, int mode) const
{
    if (!valid(x))
        return false;
    for (int i = 0; i < 3; ++i)
        if (isModeTonic(bar(x).first[i].function, mode))
            return true;
    return false;
}

const CandidateList& SongShape::late(int x) const
{
    return m_metre.code() == 0 ? bar(x).second : bar(x).first;
}

bool SongShape::lateTonicLike(int x) const
{
    return valid(x) && (amongFirstThree(late(x), kI) || amongFirstThree(late(x), kVI));
}

bool SongShape::lateDominantLike(int x) const
{
    return valid(x) && (amongFirstThree(late(x), kV) || amongFirstThree(late(x), kIII));
}

int SongShape::extension(int x, int mode) const
{
    for (int y = x + 1; y <= x + 2; ++y) {
        if (!valid(y) || !canEnd(y))
            continue;
        const BarRecord& r = bar(y);
        if ((r.hasLongNote() && isModeTonicDegree(r.longNote, mode)) || r.longNoteTiedIn())
            return y - x;
        for (int i = 0; i < 3; ++i)
            if (isModeTonic(r.first[i].function, mode) && r.first[i].percent > 50)
                return 0;
    }
    return 0;
}

bool SongShape::soundsTwoBeats(int x, int degree) const
{
    return valid(x) && bar(x).degreeTime[degree] >= 2 * m_metre.ticksPerBeat();
}

}  // namespace tonalyze
