#include "KeyRanking.h"

#include <algorithm>
#include <cstdio>

namespace tonalyze {

KeyRanking KeyRanking::fromScores(const std::array<int64_t, 12>& scores)
{
    KeyRanking r;
    for (int t = 0; t < 12; ++t)
        r.m_entries[t] = {t, scores[t]};
    std::stable_sort(r.m_entries.begin(), r.m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.score > b.score; });
    return r;
}

double KeyRanking::ratio() const
{
    if (m_entries[0].score <= 0)
        return 1.0;
    return static_cast<double>(m_entries[1].score) / static_cast<double>(m_entries[0].score);
}

std::string KeyRanking::traceText() const
{
    std::string text;
    char buf[64];
    for (const Entry& e : m_entries) {
        std::snprintf(buf, sizeof buf, "%d - %lld\t", e.tonic, static_cast<long long>(e.score));
        text += buf;
    }
    return text;
}

std::vector<int> KeyRanking::within(double share) const
{
    std::vector<int> out;
    for (const Entry& e : m_entries)
        if (static_cast<double>(e.score) >= share * static_cast<double>(m_entries[0].score))
            out.push_back(e.tonic);
    return out;
}

}  // namespace tonalyze
