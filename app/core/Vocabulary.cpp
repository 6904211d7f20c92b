#include "Vocabulary.h"

namespace melodrift {

namespace {

const char* const kKeyNames[kKeyCount] = {"C", "bD", "D", "bE", "E", "F", "#F", "G", "bA", "A", "bB", "B"};
const char* const kMetreNames[kMetreCount] = {"4/4", "3/4", "2/4", "6/8"};
const char* const kMetreCodes[kMetreCount] = {"44", "43", "42", "86"};
const int kBeats[kMetreCount] = {4, 3, 2, 3};
const int kDisplayTicks[kMetreCount] = {30, 40, 60, 20};
const char* const kIntroNames[4] = {"前/间奏-1", "前/间奏-2", "前/间奏-3", "前/间奏-4"};
const char* const kOutroNames[4] = {"尾奏-1", "尾奏-2", "尾奏-3", "尾奏-4"};
const char* const kFillNames[2] = {"加花-1", "加花-2"};
const char* const kPatternNames[4] = {"(伴奏型1)", "(伴奏型2)", "(伴奏型3)", "(伴奏型4)"};

template <int N>
const char* Pick(const char* const (&table)[N], int index)
{
    return index >= 0 && index < N ? table[index] : "";
}

bool KnownMetre(int metre) { return metre >= 0 && metre < kMetreCount; }

} // namespace

const char* const kDefaultTimbreLibrary = "Pop default";

const char* KeyName(int key) { return Pick(kKeyNames, key); }
const char* MetreName(int metre) { return Pick(kMetreNames, metre); }
const char* MetreFileCode(int metre) { return Pick(kMetreCodes, metre); }
int BeatsPerBar(int metre) { return KnownMetre(metre) ? kBeats[metre] : 4; }
int TicksPerDisplayedBeat(int metre) { return KnownMetre(metre) ? kDisplayTicks[metre] : 30; }
const char* IntroPartName(int id) { return Pick(kIntroNames, id); }
const char* OutroPartName(int id) { return Pick(kOutroNames, id); }
const char* FillName(int variant) { return Pick(kFillNames, variant); }
const char* PatternName(int pattern) { return Pick(kPatternNames, pattern); }
std::string SectionName(char letter) { return std::string(1, letter) + "段"; }

} // namespace melodrift
