#pragma once

#include <cstdint>
#include <optional>

namespace melodrift::arrangix {

enum ChordType : uint8_t { kMajor = 0, kMinor = 1, kDominant7 = 2, kMinor7 = 3 };

enum ChordRole : int { kNoChordTone = -1, kRoleRoot = 0, kRoleThird = 1, kRoleFifth = 2, kRoleSeventh = 3 };

// Role of a pitch class in a chord type written on C; kNoChordTone when it
// is no chord tone.
int chordRole(int pitchClass, int type);

// Semitones a chord tone of the given role moves to reach the chord on root
// 1..11 (0 for root 0).
int voicingOffset(int type, int root, int role);

// Fits a pattern pitch to a chord (or only to a root when type is empty)
// with the register rules of the track's program (0xFF: none).
int fitPitch(int pitch, int root, std::optional<int> type, uint8_t program);

// Converts a pitch written for one chord type to another.
int convertType(int pitch, int from, int to);

} // namespace melodrift::arrangix
