#include "Voicing.h"

namespace melodrift::arrangix {

namespace {

constexpr int kOctave = 12;
constexpr int kLowestPitch = 0;
constexpr int kHighestPitch = 127;

// Intervals above the chord's root, in semitones.
constexpr int kRoot = 0;
constexpr int kMinorThird = 3;
constexpr int kMajorThird = 4;
constexpr int kFifth = 7;
constexpr int kMinorSixth = 8;
constexpr int kMajorSixth = 9;
constexpr int kMinorSeventh = 10;
constexpr int kMajorSeventh = 11;

// Roots up to this one (F over C) move a root-only pattern up; higher roots
// move it down, so it never travels more than half an octave.
constexpr int kHighestRootMovedUp = 5;

// General MIDI program families (0-based program numbers).
struct ProgramRange {
    int first, last;
    bool holds(int program) const { return program >= first && program <= last; }
};
constexpr ProgramRange kPianos{0, 9}; // the pianos and the first chromatic percussion
constexpr ProgramRange kGuitars{24, 31};
constexpr ProgramRange kBasses{32, 39};
constexpr ProgramRange kStringsAndEnsembles{40, 55};
constexpr ProgramRange kSynthLeadsAndPads{80, 95};

// Highest pitch a piano or guitar part keeps as a single line (a bass or
// melody figure) rather than voicing it as a chord tone.
constexpr int kPianoLineTop = 50;
constexpr int kGuitarLineTop = 52;
constexpr int kGuitarLowest = 40; // E2, the open low string
constexpr int kBassLowest = 28;   // E1, the open low string of a bass
constexpr int kBassTop = 50;

// [type][root - 1][role]
constexpr int8_t kVoicing[4][11][4] = {
    {{1, 1, 1, 0}, {2, 2, 2, 0}, {-2, -1, 0, 0}, {-1, 0, 1, 0}, {0, 1, 2, 0}, {1, 2, 3, 0},
     {-1, -2, 0, 0}, {0, -1, 1, 0}, {1, 0, 2, 0}, {-2, -2, -2, 0}, {-1, -1, -1, 0}},
    {{1, 1, 1, 0}, {2, 2, 2, 0}, {-2, 0, -1, 0}, {-1, 1, 0, 0}, {0, 2, 1, 0}, {1, 3, 2, 0},
     {-2, -1, 0, 0}, {-1, 0, 1, 0}, {0, 1, 2, 0}, {-2, -2, -2, 0}, {-1, -1, -1, 0}},
    {{1, 1, 1, 1}, {0, -2, -1, -1}, {1, -1, 0, 0}, {2, 0, 1, 1}, {0, -1, -2, -1}, {1, 1, -1, 0},
     {2, 1, 0, 1}, {0, -1, -1, -2}, {1, 0, 0, -1}, {2, 1, 1, 0}, {-1, -1, -1, -1}},
    {{1, 1, 1, 1}, {0, -1, -2, -1}, {1, 0, -1, 0}, {2, 1, 0, 1}, {0, 0, -2, -2}, {1, 1, -1, -1},
     {2, 2, 0, 0}, {-1, 0, -1, -2}, {0, 1, 0, -1}, {1, 2, 1, 0}, {-1, -1, -1, -1}},
};

struct Register {
    bool chordTest;
    int low;
    int high;
};

Register registerFor(uint8_t program, int pitch)
{
    constexpr Register kChordTones{true, kLowestPitch, kHighestPitch};
    if (kPianos.holds(program))
        return pitch > kPianoLineTop ? kChordTones : Register{false, kLowestPitch, kPianoLineTop};
    if (kGuitars.holds(program))
        return pitch > kGuitarLineTop ? kChordTones : Register{false, kGuitarLowest, kGuitarLineTop};
    if (kBasses.holds(program))
        return {false, kBassLowest, kBassTop};
    if (kStringsAndEnsembles.holds(program) || kSynthLeadsAndPads.holds(program))
        return kChordTones;
    return {false, kLowestPitch, kHighestPitch};
}

int fold(int pitch, int low, int high)
{
    while (pitch < low)
        pitch += kOctave;
    while (pitch > high)
        pitch -= kOctave;
    return pitch;
}

bool isMajorish(int type) { return type == kMajor || type == kDominant7; }
bool isSeventh(int type) { return type == kDominant7 || type == kMinor7; }

}  // namespace

int chordRole(int pitchClass, int type)
{
    switch (pitchClass) {
    case kRoot:
        return kRoleRoot;
    case kMinorThird:
        return isMajorish(type) ? kNoChordTone : kRoleThird;
    case kMajorThird:
        return isMajorish(type) ? kRoleThird : kNoChordTone;
    case kFifth:
        return kRoleFifth;
    case kMinorSeventh:
        return isSeventh(type) ? kRoleSeventh : kNoChordTone;
    default:
        return kNoChordTone;
    }
}

int voicingOffset(int type, int root, int role)
{
    if (root < 1 || root > kMajorSeventh || type < kMajor || type > kMinor7 || role < kRoleRoot || role > kRoleSeventh)
        return 0;
    return kVoicing[type][root - 1][role];
}

int fitPitch(int pitch, int root, std::optional<int> type, uint8_t program)
{
    Register reg = registerFor(program, pitch);
    if (type) {
        int role = reg.chordTest ? chordRole(pitch % kOctave, *type) : kNoChordTone;
        if (role != kNoChordTone)
            return fold(pitch + voicingOffset(*type, root, role), kLowestPitch, kHighestPitch);
        if (reg.chordTest)
            reg = {false, kLowestPitch, kHighestPitch};
    }
    int moved = root <= kHighestRootMovedUp ? pitch + root : pitch - (kOctave - root);
    return fold(moved, reg.low, reg.high);
}

int convertType(int pitch, int from, int to)
{
    if (from == to)
        return pitch;
    int pc = pitch % kOctave;
    int result = pitch;
    // Major to minor lowers the third, sixth and seventh by a semitone;
    // minor to major raises them (the minor seventh only towards a triad).
    if (isMajorish(from) && !isMajorish(to)) {
        if (pc == kMajorThird || pc == kMajorSixth || pc == kMajorSeventh)
            result -= 1;
    } else if (!isMajorish(from) && isMajorish(to)) {
        if (pc == kMinorThird || pc == kMinorSixth || (pc == kMinorSeventh && to == kMajor))
            result += 1;
    }
    // A seventh chord takes the fifth up to the minor seventh; a triad takes
    // the seventh back down to the fifth.
    const int fifthToSeventh = kMinorSeventh - kFifth;
    if (!isSeventh(from) && isSeventh(to)) {
        if (pc == kFifth)
            result += fifthToSeventh;
    } else if (isSeventh(from) && !isSeventh(to)) {
        if (pc == kMinorSeventh)
            result = pitch - fifthToSeventh;
    }
    return result;
}

} // namespace melodrift::arrangix
