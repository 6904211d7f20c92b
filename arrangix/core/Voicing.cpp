#include "Voicing.h"

namespace arrangix {

namespace {

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
    if (program <= 9)
        return pitch > 50 ? Register{true, 0, 127} : Register{false, 0, 50};
    if (program >= 24 && program <= 31)
        return pitch > 52 ? Register{true, 0, 127} : Register{false, 40, 52};
    if (program >= 32 && program <= 39)
        return {false, 28, 50};
    if ((program >= 40 && program <= 55) || (program >= 80 && program <= 95))
        return {true, 0, 127};
    return {false, 0, 127};
}

int fold(int pitch, int low, int high)
{
    while (pitch < low)
        pitch += 12;
    while (pitch > high)
        pitch -= 12;
    return pitch;
}

bool isMajorish(int type) { return type == kMajor || type == kDominant7; }
bool isSeventh(int type) { return type == kDominant7 || type == kMinor7; }

}  // namespace

int chordRole(int pitchClass, int type)
{
    switch (pitchClass) {
    case 0:
        return 0;
    case 3:
        return isMajorish(type) ? -1 : 1;
    case 4:
        return isMajorish(type) ? 1 : -1;
    case 7:
        return 2;
    case 10:
        return isSeventh(type) ? 3 : -1;
    default:
        return -1;
    }
}

int voicingOffset(int type, int root, int role)
{
    if (root < 1 || root > 11 || type < 0 || type > 3 || role < 0 || role > 3)
        return 0;
    return kVoicing[type][root - 1][role];
}

int fitPitch(int pitch, int root, std::optional<int> type, uint8_t program)
{
    Register reg = registerFor(program, pitch);
    if (type) {
        int role = reg.chordTest ? chordRole(pitch % 12, *type) : -1;
        if (role >= 0)
            return fold(pitch + voicingOffset(*type, root, role), 0, 127);
        if (reg.chordTest)
            reg = {false, 0, 127};
    }
    int moved = root <= 5 ? pitch + root : pitch - (12 - root);
    return fold(moved, reg.low, reg.high);
}

int convertType(int pitch, int from, int to)
{
    if (from == to)
        return pitch;
    int pc = pitch % 12;
    int result = pitch;
    if (isMajorish(from) && !isMajorish(to)) {
        if (pc == 4 || pc == 9 || pc == 11)
            result -= 1;
    } else if (!isMajorish(from) && isMajorish(to)) {
        if (pc == 3 || pc == 8 || (pc == 10 && to == kMajor))
            result += 1;
    }
    if (!isSeventh(from) && isSeventh(to)) {
        if (pc == 7)
            result += 3;
    } else if (isSeventh(from) && !isSeventh(to)) {
        if (pc == 10)
            result = pitch - 3;
    }
    return result;
}

}  // namespace arrangix
