#include "EngineTables.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

void ResetEffects(TSongModel& song)
{
    for (int i = 0; i < kEffectCount; ++i) {
        int32_t target = 0;
        if (i == 3)
            target = 2;                           // reverb stays on at its middle level
        else if (i == 10 && song.effectStates[i] == 1)
            target = 1;                           // pitch correction keeps its choice
        if (song.effectStates[i] == target)
            continue;
        song.effectStates[i] = target;
        song.saved.effectStates[i] = target;
        Engines().mm.MM_SetFxPreset(kEffectIds[i], target);
    }
}

void NewSong(TSongModel& song)
{
    song.ClearSong(kClearAll);
    song.ResetSavedCopy();
    song.ResetUploadInfo();
    song.key = -1;
    song.lastComposeKey = -1;
    song.projectPath.clear();
    ResetEffects(song);
    // Presets already at their reset state were not copied above; a fresh
    // song must not count as modified because of them.
    song.saved.effectStates = song.effectStates;
}

} // namespace melodrift
