#pragma once

// The program's part of a project file: what a save writes and an open reads
// before the audio engine's block. Pure byte work, no engine and no files.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "SongModel.h"

namespace melodrift {

constexpr uint32_t kProjectVersion = 0x00020004;
constexpr size_t kProjectHeaderSize = 8;      // version word and total length
constexpr size_t kTotalLengthOffset = 4;

struct ProjectVersion {
    int major = 0;
    int minor = 0;
    bool Supported() const { return major >= 1 && (major < 2 || (major == 2 && minor <= 4)); }
    bool HasOptionByte() const { return major == 2 ? minor != 3 : minor >= 4; }
};

// Version 1 words keep the major version in the low half; a low half below 2
// marks such a word.
ProjectVersion DecodeProjectVersion(uint32_t word);

// The song as the program's part of a project file holds it.
struct ProjectContent {
    uint32_t genreMask = 0;
    int32_t styleId = -1;
    uint8_t option = 0;
    int32_t metre = 0;
    int32_t tempo = 75;
    int32_t key = -1;
    std::string timbreLibraryName;
    float recordVolume = -1, speakerVolume = -1, voiceVolume = 1, accompanimentVolume = 1;
    std::vector<tagMelodyBar> bars;
    std::vector<tagMelodyStage> stages;
    std::vector<tagComposeStage> songForm;
    int32_t lastComposeKey = -1;
    std::vector<tagBarVols> barVols;
    int32_t openStep = -1;
    std::array<int32_t, kEffectCount> effectStates{};
};

ProjectContent ContentOf(const TSongModel& song);

// Version word, a zero total length, then every field of the song.
std::vector<uint8_t> SerializeProgramPart(const ProjectContent& content);

// Reads the fields that follow the header (or the version-1 engine blocks).
// Every count and length is checked against the bytes left; false when the
// data is damaged, in which case content is unspecified.
bool ParseProgramFields(const uint8_t* data, size_t size, ProjectVersion version, ProjectContent& content,
                        size_t& consumed);

} // namespace melodrift
