#pragma once

// Fixed names and numbers shared by every screen: keys, metres and the parts
// of a song form.

#include <string>

namespace melodrift {

constexpr int kBarTicks = 120;          // a bar of the bar grid, whatever the metre
constexpr int kMelodyTicksPerQuarter = 192;
constexpr int kMetreCount = 4;
constexpr int kKeyCount = 12;

// Song-form references.
constexpr int kIntroRef = 256;          // 256..271: intro or interlude
constexpr int kOutroRef = 272;          // 272 and above: outro

const char* KeyName(int key);           // "C".."B"; "" outside 0..11
const char* MetreName(int metre);       // "4/4"; "" for an unknown code
const char* MetreFileCode(int metre);   // "44"
int BeatsPerBar(int metre);             // tempo beats: 4, 3, 2, 3; 4 for an unknown code
int TicksPerDisplayedBeat(int metre);   // 30, 40, 60, 20

const char* IntroPartName(int id);      // "前/间奏-1".."前/间奏-4"
const char* OutroPartName(int id);      // "尾奏-1".."尾奏-4"
const char* FillName(int variant);      // "加花-1", "加花-2"
const char* PatternName(int pattern);   // "(伴奏型1)".."(伴奏型4)"
std::string SectionName(char letter);   // "%c段"

extern const char* const kDefaultTimbreLibrary; // "Pop default"

inline bool IsMelodyRef(int ref) { return ref >= 0 && ref < kIntroRef; }
inline bool IsIntroRef(int ref) { return ref >= kIntroRef && ref < kOutroRef; }
inline bool IsOutroRef(int ref) { return ref >= kOutroRef; }

} // namespace melodrift
