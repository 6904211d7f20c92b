// One ranking of the twelve tonics by a score, high to low.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tonalyze {

using PitchProfile = std::array<int64_t, 12>;

class KeyRanking {
public:
    // Scores every tonic T by the sum of profile[(T + degree) mod 12].
    template <size_t N>
    static KeyRanking rank(const PitchProfile& profile, const std::array<int, N>& degrees);

    int best() const { return m_entries[0].tonic; }
    // Tonics scoring at least share x the best score, best first.
    std::vector<int> within(double share) const;
    // Second score over the first; 1 when nothing scored at all (fully ambiguous).
    double ratio() const;
    bool hasSingleBest() const { return m_entries[0].score != m_entries[1].score; }
    // "%d - %d\t" for every entry, as the trace writes it.
    std::string traceText() const;

private:
    struct Entry {
        int tonic;
        int64_t score;
    };
    static KeyRanking fromScores(const std::array<int64_t, 12>& scores);
    std::array<Entry, 12> m_entries{};
};

template <size_t N>
KeyRanking KeyRanking::rank(const PitchProfile& profile, const std::array<int, N>& degrees)
{
    std::array<int64_t, 12> scores{};
    for (int t = 0; t < 12; ++t)
        for (int d : degrees)
            scores[t] += profile[(t + d) % 12];
    return fromScores(scores);
}

}  // namespace tonalyze
