#include "ChordPlanner.h"

#include <cstdio>

#include "ChordSearch.h"
#include "Log.h"

namespace tonalyze {

int chordCode(int function, int key)
{
    switch (function) {
    case kI: return 4 * key;
    case kII: return 4 * ((key + 2) % 12) + 1;
    case kIII: return 4 * ((key + 4) % 12) + 1;
    case kIV: return 4 * ((key + 5) % 12);
    case kV: return 4 * ((key + 7) % 12);
    case kVI: return 4 * ((key + 9) % 12) + 1;
    case kMajorIII: return 4 * ((key + 4) % 12);
    default: return 0;
    }
}

std::vector<int> ChordPlanner::plan(const std::vector<int>& ends) const
{
    const int spb = slotsPerBar();
    std::vector<int> slots(static_cast<size_t>(m_song.barCount() * spb), kNone);
    int j = m_song.pickup();
    for (size_t i = 0; i < ends.size(); j = ends[i] + 1, ++i) {
        const int k = ends[i];
        if (j > k)
            continue;  // the pickup bar's own section
        std::vector<int> chords;
        if (j == k) {
            chords = oneBarSection(j);
        } else {
            const ChordSearch search(m_song);
            const int mode = sectionMode(j, k);
            if (k - j + 1 > 7 && m_song.similar(j + 4, j, 2)) {
                chords = search.solve(j, j + 3, mode);
                const std::vector<int> rest = search.solve(j + 4, k, mode);
                chords.insert(chords.end(), rest.begin(), rest.end());
            } else {
                chords = search.solve(j, k, mode);
            }
        }
        std::copy(chords.begin(), chords.end(), slots.begin() + static_cast<std::ptrdiff_t>(j) * spb);
        char head[96];
        std::snprintf(head, sizeof head, "\n///////////////////// 第 %d 段分句和弦 ///////////////////\n",
                      static_cast<int>(i) + 1);
        std::string text = head;
        for (int c : chords)
            text += std::to_string(c) + "\t";
        logText(text);
    }
    fillPickup(slots, ends);
    return slots;
}

int ChordPlanner::sectionMode(int j, int k) const
{
    const int own = m_song.boundaryScore(j, k);
    return m_song.opensOnTonic(j, own) ? own : m_mode;
}

std::vector<int> ChordPlanner::oneBarSection(int bar) const
{
    const int tonic = m_mode < 0 ? kVI : kI;
    const int dominant = m_mode < 0 ? kIII : kV;
    std::vector<int> out;
    for (int half = 0; half < slotsPerBar(); ++half) {
        const CandidateList& list = half == 0 ? m_song.bar(bar).first : m_song.bar(bar).second;
        int chosen = list[0].function >= 0 ? list[0].function : tonic;
        bool laterTonic = false, laterDominant = false;
        for (size_t c = 1; c < list.size(); ++c) {
            laterTonic = laterTonic || list[c].function == tonic;
            laterDominant = laterDominant || list[c].function == dominant;
        }
        if (laterTonic)
            chosen = tonic;
        else if (laterDominant)
            chosen = dominant;
        out.push_back(chosen);
    }
    return out;
}

// The pickup bar takes the tonic-family chord that the song first rests on.
void ChordPlanner::fillPickup(std::vector<int>& slots, const std::vector<int>& ends) const
{
    const int spb = slotsPerBar();
    const int pickupSlots = m_song.pickup() * spb;
    if (pickupSlots == 0 || slots.empty())
        return;
    int found = kNone;
    int j = m_song.pickup();
    for (size_t i = 0; i < ends.size() && found == kNone; j = ends[i] + 1, ++i) {
        if (j > ends[i])
            continue;
        const int first = slots[static_cast<size_t>(j * spb)];
        const int last = slots[static_cast<size_t>((ends[i] + 1) * spb - 1)];
        if (first == kI || first == kVI)
            found = first;
        else if (last == kI || last == kVI)
            found = last;
    }
    for (int s = 0; s < pickupSlots && s < static_cast<int>(slots.size()); ++s)
        slots[static_cast<size_t>(s)] = found == kNone ? kI : found;
}

}  // namespace tonalyze
