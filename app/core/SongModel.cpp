#include "SongModel.h"

#include <cstring>

namespace melodrift {

TSongModel::TSongModel()
{
    flags[kFlagAutoLevel] = true;
    flags[kFlagShowRecordHint] = true;
    flags[kFlagBarPositions] = true;
    flags[kFlagRememberLogin] = true;
    ResetUploadInfo();
}

void TSongModel::ResetUploadInfo()
{
    uploadInfo.fill(0);
    const int32_t size = kUploadInfoSize;
    std::memcpy(uploadInfo.data(), &size, sizeof size);
}

tagMelodyBar& TSongModel::AddBar()
{
    return bars.emplace_back();
}

const tagMelodyStage* TSongModel::StageOf(const tagComposeStage& entry) const
{
    if (!IsMelodyRef(entry.ref) || entry.ref >= static_cast<int>(stages.size()))
        return nullptr;
    return &stages[entry.ref];
}

void TSongModel::ClearSong(int mask)
{
    if (mask & kClearBars) {
        bars.clear();
        flags[kFlagMelody] = false;
    } else if (mask & kClearChordsAndFills) {
        for (tagMelodyBar& bar : bars) {
            bar.chords = {-1, -1};
            bar.fill = -1;
        }
    }
    if (mask & kClearStages) {
        stages.clear();
        flags[kFlagBaseAccompaniment] = false;
    }
    if (mask & kClearSongForm) {
        songForm.clear();
        flags[kFlagComposed] = false;
    }
    if (mask & kClearFinalTake) {
        barVols.clear();
        flags[kFlagVoiceCombined] = false;
        flags[kFlagFinalTake] = false;
    }
    flags[kFlagExported] = false;
}

void TSongModel::ResetSavedCopy()
{
    saved = SavedSong{};
}

void TSongModel::TakeSavedCopy()
{
    saved.styleId = styleId;
    saved.key = key;
    saved.lastComposeKey = lastComposeKey;
    saved.metre = metre;
    saved.tempo = tempo;
    saved.recordVolume = recordVolume;
    saved.speakerVolume = speakerVolume;
    saved.voiceVolume = voiceVolume;
    saved.accompanimentVolume = accompanimentVolume;
    saved.timbreLibraryName = timbreLibraryName;
    saved.bars = bars;
    saved.stages = stages;
    saved.songForm = songForm;
    saved.barVols = barVols;
    saved.effectStates = effectStates;
}

bool TSongModel::IsModified(int style) const
{
    if (key != saved.key || (style == -1 ? styleId : style) != saved.styleId)
        return true;
    if (recordVolume != saved.recordVolume || speakerVolume != saved.speakerVolume ||
        voiceVolume != saved.voiceVolume || accompanimentVolume != saved.accompanimentVolume)
        return true;
    // -1 in the saved copy means "same as the key", so a key taken over is no change.
    if (lastComposeKey != saved.lastComposeKey && !(saved.lastComposeKey == -1 && lastComposeKey == key))
        return true;
    if (timbreLibraryName != saved.timbreLibraryName)
        return true;
    if (bars != saved.bars || stages != saved.stages || songForm != saved.songForm)
        return true;
    if (flags[kFlagFinalTake] && barVols != saved.barVols)
        return true;
    return effectStates != saved.effectStates;
}

} // namespace melodrift
