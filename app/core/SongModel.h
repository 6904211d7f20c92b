#pragma once

// The one song the program edits: settings, state flags, records, the copy
// kept at the last save or open, and the pipeline's bookkeeping. Only the GUI
// thread touches it (and the worker during an open, while the GUI waits).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "SongRecords.h"

namespace melodrift {

constexpr int kEffectCount = 11;
constexpr int kStateFlagCount = 28;
constexpr int kUploadInfoSize = 1008;

// Indexes into TSongModel::flags.
enum SongFlag : int {
    kFlagAutoLevel = 0,
    kFlagMonitor = 1,
    kFlagShowRecordHint = 2,
    kFlagForcedUpdate = 3,
    kFlagProjectOption = 4,
    kFlagLeadingRest = 5,
    kFlagBarPositions = 6,
    kFlagRememberLogin = 7,
    kFlagLoggedIn = 8,
    kFlagMelody = 10,
    kFlagBaseAccompaniment = 11,
    kFlagComposed = 12,
    kFlagVoiceCombined = 13,
    kFlagExported = 14,
    kFlagFinalTake = 17,
    kFlagAutoSaved = 18,
    kFlagChordLetters = 19,
    kFlagLeftByStepBar = 20,
};

// ClearSong mask bits.
enum ClearMask : int {
    kClearBars = 1,
    kClearChordsAndFills = 2,
    kClearStages = 4,
    kClearSongForm = 8,
    kClearFinalTake = 16,
    kClearAll = 31,
};

// What the model compares against to answer IsModified.
struct SavedSong {
    int32_t styleId = -1;
    int32_t key = -1;
    int32_t lastComposeKey = -1;
    int32_t metre = 0;
    int32_t tempo = 75;
    float recordVolume = -1, speakerVolume = -1, voiceVolume = 1, accompanimentVolume = 1;
    std::string timbreLibraryName;
    std::vector<tagMelodyBar> bars;
    std::vector<tagMelodyStage> stages;
    std::vector<tagComposeStage> songForm;
    std::vector<tagBarVols> barVols;
    std::array<int32_t, kEffectCount> effectStates{};
};

class TSongModel {
public:
    TSongModel();

    // Song settings.
    int32_t styleId = -1;
    std::string styleFileName;
    int32_t key = -1;
    int32_t lastComposeKey = -1;
    int32_t metre = 0;
    int32_t tempo = 75;
    int32_t timbreLibrary = -1;
    std::string timbreLibraryName;       // file name, UTF-8
    float recordVolume = -1;
    float speakerVolume = -1;
    float voiceVolume = 1;
    float accompanimentVolume = 1;
    uint32_t genreMask = 0;
    int32_t openStep = -1;
    std::array<int32_t, kEffectCount> effectStates{};
    std::array<uint8_t, kUploadInfoSize> uploadInfo{};
    std::array<bool, kStateFlagCount> flags{};

    // Records.
    std::vector<tagMelodyBar> bars;
    std::vector<tagMelodyStage> stages;
    std::vector<tagComposeStage> songForm;
    std::vector<tagBarVols> barVols;

    // Timbre libraries found at start-up.
    std::vector<FONTINFO> fonts;

    SavedSong saved;

    // Segment lengths of the current style (accompaniment pipeline).
    std::array<int32_t, 4> introBars{};
    std::array<int32_t, 4> outroBars{};
    int32_t segmentStyleId = -1;

    // Derived from tempo and metre (playback clock).
    double ticksPerClockTick = 0;
    double msPerBar = 0;

    // The value the engine gave when the project was loaded; handed back when
    // the voice is combined along the song form.
    int32_t projectLoadValue = 0;
    int32_t melodyBarCount = 0;          // bars of the melody as the composer counted them
    std::string projectPath;             // empty for a new song

    bool Flag(SongFlag f) const { return flags[f]; }
    void SetFlag(SongFlag f, bool on) { flags[f] = on; }

    void ClearSong(int mask);
    void ResetSavedCopy();
    void TakeSavedCopy();
    // style -1 compares the song's own style.
    bool IsModified(int style = -1) const;
    void ResetUploadInfo();

    // Appends a bar with the initial values of a new bar.
    tagMelodyBar& AddBar();
    const tagMelodyStage* StageOf(const tagComposeStage& entry) const;
};

} // namespace melodrift
