#include "Sectioner.h"

#include <algorithm>

#include "Log.h"

namespace tonalyze {
namespace {

constexpr int kLongSection = 12;

}  // namespace

std::vector<int> Sectioner::run()
{
    const int bars = m_song.barCount();
    m_ends.clear();
    if (bars <= 0)
        return {};
    m_ends.insert(bars - 1);
    if (m_song.pickup() > 0 && bars > 1)
        m_ends.insert(0);
    int s = 0, e = 0;
    while (findLongSection(s, e)) {
        if (repetitionSplit(s, e)) {
            m_triedEnd = -1;
            logEnds("\n///////////////////// 小节反复分段结果 ///////////////////\n");
            continue;
        }
        m_triedStart = s;
        m_triedEnd = e;
        const int split = std::clamp(cadenceSplit(s, e), s, e - 1);
        m_ends.insert(split);
        logEnds("\n///////////////////// 主属和弦分段结果 ///////////////////\n");
    }
    logEnds("\n///////////////////// 最终分段结果 ///////////////////\n");
    return {m_ends.begin(), m_ends.end()};
}

bool Sectioner::findLongSection(int& s, int& e) const
{
    int start = m_song.pickup();
    for (int end : m_ends) {
        if (end - start + 1 >= kLongSection) {
            s = start;
            e = end;
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Tries the song's opening as the pattern first, then the start of each
// following section up to the long section itself.
bool Sectioner::repetitionSplit(int s, int e)
{
    int r = m_song.pickup();
    // After a cadence split the rest of the same stretch comes back here.
    // References already tried on it found nothing on a wider walk, and a walk
    // depends on nothing the split changed, so only the new ones are tried.
    const bool known = e == m_triedEnd && s >= m_triedStart;
    while (r <= s) {
        if (known && r <= m_triedStart) {
            r = *m_ends.lower_bound(r) + 1;
            continue;
        }
        if (walk(r, s, e))
            return true;
        const auto next = m_ends.lower_bound(r);
        if (next == m_ends.end())
            break;
        r = *next + 1;
    }
    return false;
}

bool Sectioner::walk(int r, int s, int e)
{
    bool found = false;
    int d = s + 6;
    while (d <= e - 6) {
        if (!m_song.canEnd(d - 1) || !m_song.similar(d, r, 5)) {
            ++d;
            continue;
        }
        m_ends.insert(d - 1);
        found = true;
        // A repetition found after a short section is looked for again one
        // such section later. Stepping by the section's length keeps the walk
        // moving; a step shrinking by one bar a time would stall on one bar.
        const int period = d - s;
        if (e - d < kLongSection)
            e = d - 1;
        if (period <= kLongSection) {
            s = d;
            d += period;
        } else {
            ++d;
        }
    }
    return found;
}

std::string Sectioner::endsText(const char* heading, const std::vector<int>& ends)
{
    std::string text = heading;
    for (int end : ends)
        text += std::to_string(end) + "\t";
    return text + "\n";
}

void Sectioner::logEnds(const char* heading) const
{
    logText(endsText(heading, {m_ends.begin(), m_ends.end()}));
}

}  // namespace tonalyze
