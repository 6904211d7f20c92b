// Small songs for the tests and benchmarks, written as MelodyText.
#pragma once

#include <string>

namespace tonalyze::test::songs {

// Four-bar phrases in C major, 4/4.
inline const std::string kOpening = "C4:1 E4:1 G4:1 E4:1 F4:1 A4:1 G4:2 E4:1 D4:1 C4:1 D4:1 E4:2 D4:2 ";
inline const std::string kAnswer = "E4:1 F4:1 G4:2 A4:1 G4:1 F4:1 E4:1 D4:1 E4:1 F4:1 D4:1 G4:4 ";
inline const std::string kClosing = "E4:1 G4:1 C5:2 B4:1 A4:1 G4:2 F4:1 E4:1 D4:1 B3:1 C4:4 ";
// Begins like the answer, climbs to the high tonic.
inline const std::string kReturn = "E4:1 F4:1 G4:2 A4:1 B4:1 C5:2 D5:1 B4:1 G4:2 C5:4 ";
inline const std::string kBridge = "A4:1 A4:1 F4:1 A4:1 G4:1 G4:1 E4:2 F4:1 F4:1 D4:1 F4:1 E4:2 C4:2 ";

inline const std::string kEightBars = kOpening + kClosing;
// A B A B': the opening's first five bars come back at bar 8.
inline const std::string kRepeatedOpening = kOpening + kAnswer + kOpening + kReturn;
// A B D C: nothing repeats.
inline const std::string kThroughComposed = kOpening + kAnswer + kBridge + kClosing;

// A minor, ends on a long A.
inline const std::string kAMinor =
    "A4:1 C5:1 E5:1 A5:1 G5:1 E5:1 C5:1 E5:1 D5:1 B4:1 #G4:1 B4:1 A4:4 "
    "E5:1 D5:1 C5:1 B4:1 C5:1 A4:1 B4:1 #G4:1 A4:4 ";

// A waltz in G, 3/4.
inline const std::string kWaltzInG =
    "G4:1 B4:1 D5:1 G5:2 #F5:1 E5:1 D5:1 B4:1 A4:3 D4:1 #F4:1 A4:1 D5:2 C5:1 B4:1 A4:1 #F4:1 G4:3 ";

}  // namespace tonalyze::test::songs
