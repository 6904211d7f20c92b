#pragma once

// The glue between the song model, the style composer and the audio engine:
// melody hand-over, base accompaniment, song form, full composition, effect
// presets and the captions of stages. Everything runs on the GUI thread.

#include <cstdint>
#include <string>
#include <vector>

#include "ComposerRecords.h"
#include "SongRecords.h"

namespace melodrift {

class TSongModel;

constexpr int kBaseComposeBufferSize = 1000000;
constexpr int kComposeBufferSize = 2000000;
constexpr int kEffectIds[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 256, 257};

void SubmitMelody(TSongModel& song);
bool BaseCompose(TSongModel& song);
bool RefreshSegmentBars(TSongModel& song);
bool RefreshStageLengths(TSongModel& song);
void BuildDefaultSongForm(TSongModel& song);
// key: the key to compose in; -1 means the song's key.
bool Compose(TSongModel& song, int key, bool combineVoice);
// The composing steps of Compose for a song form of the caller's, into midi
// (at most capacity bytes), without loading anything into the engine.
bool ComposeMidi(const TSongModel& song, const std::vector<tagComposeStage>& form, int key,
                 std::vector<uint8_t>& midi, int capacity);
void ResetEffects(TSongModel& song);

// NewSong: the model's part of starting a new project.
void NewSong(TSongModel& song);

// Records of the song for the composer; chords converted with key.
ComposerInput BuildComposerInput(const TSongModel& song, int key);
std::vector<VoiceSegment> BuildVoiceSegments(const TSongModel& song);
// Fills of the song form with absolute bars.
std::vector<ComposerFill> SongFormFills(const TSongModel& song);

std::string StageLetter(int index);
enum class CaptionKind { MelodyStage, SongFormEntry };
// UTF-8 caption of a melody stage or a song-form entry.
std::string StageCaption(const TSongModel& song, int index, CaptionKind kind);

} // namespace melodrift
