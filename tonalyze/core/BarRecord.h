// What the harmony analysis knows about one bar, and the chord functions.
#pragma once

#include <array>
#include <cstdint>

namespace tonalyze {

// Diatonic triads by their function in the key; III only appears in output.
enum Function : int { kNone = -1, kI = 0, kII = 1, kIII = 2, kIV = 3, kV = 4, kVI = 5, kMajorIII = 18 };

// Scale degrees as indexes into BarRecord::degreeTime and longNote.
enum Degree : int { kDo = 0, kRe = 1, kMi = 2, kFa = 3, kSol = 4, kLa = 5, kTi = 6 };

struct Candidate {
    int function = kNone;
    int percent = -1;
};

using CandidateList = std::array<Candidate, 6>;

struct BarRecord {
    CandidateList first;   // whole bar, or its first half in 4/4
    CandidateList second;  // second half in 4/4
    std::array<int64_t, 7> degreeTime{};  // ticks sounding per degree, do..ti
    int64_t raisedSolTime = 0;             // ticks of sol sharp (the relative minor's leading note)
    int longNote = -1;                     // Degree, -1 none
    int64_t longOnset = -1;                // ticks from the bar start; -1 tied in
    int64_t longLength = 0;

    bool hasLongNote() const { return longNote >= 0; }
    bool longNoteTiedIn() const { return longNote >= 0 && longOnset < 0; }
};

// True when one of the first three candidates is f.
bool amongFirstThree(const CandidateList& list, int f);

}  // namespace tonalyze
