#include <algorithm>
#include <cstdint>
#include <vector>

#include "EngineTables.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

std::vector<ComposerFill> SongFormFills(const TSongModel& song)
{
    std::vector<ComposerFill> fills;
    int32_t firstBar = 0;
    for (const tagComposeStage& entry : song.songForm) {
        for (int32_t fill : entry.fills)
            fills.push_back({firstBar + FillOffset(fill), FillVariant(fill)});
        firstBar += entry.barCount;
    }
    return fills;
}

std::vector<VoiceSegment> BuildVoiceSegments(const TSongModel& song)
{
    std::vector<VoiceSegment> segments;
    const tagComposeStage* previous = nullptr;
    for (const tagComposeStage& entry : song.songForm) {
        const tagMelodyStage* stage = song.StageOf(entry);
        const double start = stage ? stage->firstBar : -1.0;
        VoiceSegment* last = segments.empty() ? nullptr : &segments.back();
        if (stage && last && last->sourceStart >= 0 && previous && previous->ref == entry.ref - 1) {
            last->length += entry.barCount;
        } else if (stage && last && last->sourceStart < 0 && entry.ref == 1 && song.Flag(kFlagLeadingRest)) {
            // The take's pickup into stage 1 sits in the half bar before it.
            last->length -= 0.5;
            segments.push_back({start - 0.5, entry.barCount + 0.5});
        } else {
            segments.push_back({start, static_cast<double>(entry.barCount)});
        }
        previous = &entry;
    }
    return segments;
}

namespace {

// The composer's stage records and the style of each entry.
void BuildStages(const std::vector<tagComposeStage>& form, std::vector<ComposerStage>& stages,
                 std::vector<int32_t>& styles)
{
    for (const tagComposeStage& entry : form) {
        stages.push_back({entry.ref, entry.pattern});
        styles.push_back(entry.styleId);
    }
}

} // namespace

bool ComposeMidi(const TSongModel& song, const std::vector<tagComposeStage>& form, int key,
                 std::vector<uint8_t>& midi, int capacity)
{
    const ComposerInput in = BuildComposerInput(song, key);
    std::vector<ComposerStage> stages;
    std::vector<int32_t> styles;
    BuildStages(form, stages, styles);
    TSongModel formSong;
    formSong.songForm = form;
    const std::vector<ComposerFill> fills = SongFormFills(formSong);

    midi.assign(static_cast<size_t>(capacity), 0);
    int32_t size = capacity;
    const int32_t result = Engines().sm.SM_Compose(
        key, &size, midi.data(), static_cast<int32_t>(in.sections.size()), in.sections.data(),
        static_cast<int32_t>(in.chords.size()), in.chords.data(), static_cast<int32_t>(stages.size()),
        stages.data(), styles.data(), static_cast<int32_t>(fills.size()), fills.data());
    if (result != 0) {
        midi.clear();
        return false;
    }
    midi.resize(static_cast<size_t>(std::clamp<int32_t>(size, 0, capacity)));
    return true;
}

bool Compose(TSongModel& song, int key, bool combineVoice)
{
    if (key < 0)
        key = song.key;
    const std::vector<VoiceSegment> segments = combineVoice ? BuildVoiceSegments(song) : std::vector<VoiceSegment>{};
    std::vector<uint8_t> buffer;
    if (!ComposeMidi(song, song.songForm, key, buffer, kComposeBufferSize))
        return false;

    const auto& mm = Engines().mm;
    int32_t result = mm.MM_LoadCompose(buffer.data(), static_cast<int32_t>(buffer.size()));
    if (result >= 0) {
        mm.MM_SetStreamVolume(4, song.accompanimentVolume);
        song.SetFlag(kFlagComposed, true);
    }
    if (!segments.empty()) {
        result = mm.MM_CombineSong(song.styleId, static_cast<int32_t>(segments.size()), segments.data(),
                                   &song.projectLoadValue);
        if (result == 0) {
            mm.MM_SetStreamVolume(5, song.voiceVolume);
            song.SetFlag(kFlagVoiceCombined, true);
        }
    }
    return result == 0;
}

} // namespace melodrift
