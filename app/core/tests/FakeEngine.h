#pragma once

// A scripted stand-in for the audio engine, the composer and the online
// service, installed into the core's function tables. Tests set what the
// fakes answer and read what they were given.

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EngineTables.h"
#include "PostedMessages.h"

namespace melodrift::test {

using testsupport::PostedMessage;

struct FakeState {
    // Engine: melody and streams.
    std::vector<int8_t> pitches;
    std::vector<uint16_t> lengths;
    std::map<int, int32_t> streamLength;
    std::vector<std::pair<int, float>> volumeCalls;
    std::vector<std::pair<int, int>> fxCalls;
    std::vector<int> tempoCalls, metreCalls;
    int32_t loadBaseResult = 0, loadComposeResult = 0, combineResult = 0;
    std::vector<MM_VoiceSegment> segments;
    int32_t combineValueSeen = 0;
    std::vector<std::string> fontsSet;
    // Project block: bytes the engine appends, or a failure when negative.
    int32_t engineBlockSize = 64;
    int32_t loadProjectResult = 0;
    int32_t loadProjectOffset = -1;
    uint32_t loadProjectVersion = 0;
    // Composer.
    int32_t melodyBars = 0;
    int32_t baseResult = 0, composeResult = 0;
    std::vector<SM_Section> sentSections, returnSections;
    std::vector<SM_Chord> sentChords, returnChords;
    std::vector<SM_Fill> sentFills, returnFills;
    bool echoComposerInput = true;    // return what was sent unless told otherwise
    int composeKey = -99;
    std::vector<SM_Stage> sentStages;
    std::vector<int32_t> sentStyles;
    std::set<int32_t> knownStyles{7, 8};      // have an info record
    std::set<int32_t> loadableStyles{7, 8};   // SM_CheckStyle true
    std::map<std::pair<int32_t, int32_t>, int32_t> segmentBars; // (code, style) -> bars
    // Service.
    int32_t downloadResult = -1;
    std::vector<int32_t> downloads;
    int32_t serviceResult = 0;
};

FakeState& Fake();
// Fresh state and the fake tables in place.
void InstallFakeEngine();

// Collects posted messages (any thread).
using MessageLog = testsupport::PostedMessages;

} // namespace melodrift::test
