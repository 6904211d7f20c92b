// The records handed to the caller and the in/out count protocol.
#include "HarmonyAnalysis.h"

#include <algorithm>

#include "ChordPlanner.h"

namespace tonalyze {
namespace {

// A count asks for output when 0 (capacity: what the song can produce at
// most) or negative (capacity: its magnitude).
bool wants(const int32_t* count) { return count && *count <= 0; }

template <class T>
bool fits(const int32_t* count, const T* array, const std::vector<T>& records)
{
    if (!wants(count))
        return true;
    if (!array)
        return false;
    return *count == 0 || records.size() <= static_cast<size_t>(-static_cast<int64_t>(*count));
}

template <class T>
void write(int32_t* count, T* array, const std::vector<T>& records)
{
    std::copy(records.begin(), records.end(), array);
    *count = static_cast<int32_t>(records.size());
}

}  // namespace

std::vector<MA_Section> HarmonyAnalysis::sectionRecords() const
{
    std::vector<MA_Section> out;
    size_t i = 0;
    if (m_pickup > 0 && !m_ends.empty() && m_ends[0] == 0) {
        out.push_back({0, 0});
        i = 1;
    }
    for (int pattern = 0; i < m_ends.size(); ++i, pattern = (pattern + 1) % 4)
        out.push_back({m_ends[i], pattern});
    return out;
}

std::vector<MA_Chord> HarmonyAnalysis::chordRecords() const
{
    std::vector<MA_Chord> out;
    const bool halves = m_ts == 0;
    for (int b = 0; b < m_barCount; ++b) {
        // iii under a raised sol is the relative minor's dominant: E major
        // under G sharp in C, as in any tune in A minor that sharpens its seventh.
        const BarRecord& r = m_bars[static_cast<size_t>(b)];
        const bool raisedSol = r.raisedSolTime > r.degreeTime[kSol];
        auto heard = [&](int f) { return f == kIII && raisedSol ? kMajorIII : f; };
        if (!halves) {
            out.push_back({chordCode(heard(m_chords[static_cast<size_t>(b)]), m_key), 1});
            continue;
        }
        const int first = heard(m_chords[static_cast<size_t>(2 * b)]);
        int second = heard(m_chords[static_cast<size_t>(2 * b + 1)]);
        if (first == second) {
            out.push_back({chordCode(first, m_key), 1});
            continue;
        }
        // I then iii at a section's end is heard as a turn to III.
        if (first == kI && second == kIII && std::binary_search(m_ends.begin(), m_ends.end(), b))
            second = kMajorIII;
        out.push_back({chordCode(first, m_key), 0});
        out.push_back({chordCode(second, m_key), 0});
    }
    return out;
}

std::vector<MA_Fill> HarmonyAnalysis::fillRecords() const
{
    const std::vector<MA_Section> sections = sectionRecords();
    std::vector<MA_Fill> out;
    for (size_t i = 0; i + 1 < sections.size(); ++i) {
        if (i == 0 && sections[i].lastBar == 0)
            continue;
        out.push_back({sections[i].lastBar, 1});
    }
    return out;
}

int HarmonyAnalysis::analyse(int key, int32_t* sectionCount, MA_Section* sections, int32_t* chordCount,
                             MA_Chord* chords, int32_t* fillCount, MA_Fill* fills)
{
    if (!m_metre)
        return -1;
    const int k = resolveKey(key);
    if (k == m_key) {
        if (sectionCount && *sectionCount > 0)
            adoptSections(sections, *sectionCount);
    } else {
        analyseInKey(k);
    }
    if (m_chords.empty())
        planChords();
    const std::vector<MA_Section> sectionOut = sectionRecords();
    const std::vector<MA_Chord> chordOut = chordRecords();
    const std::vector<MA_Fill> fillOut = m_ends.size() >= 2 ? fillRecords() : std::vector<MA_Fill>{};
    if (!fits(sectionCount, sections, sectionOut) || !fits(chordCount, chords, chordOut) ||
        !fits(fillCount, fills, fillOut))
        return -1;
    if (wants(sectionCount))
        write(sectionCount, sections, sectionOut);
    if (wants(chordCount))
        write(chordCount, chords, chordOut);
    if (wants(fillCount))
        write(fillCount, fills, fillOut);
    return 0;
}

}  // namespace tonalyze
