#include <algorithm>
#include <cstdint>
#include <vector>

#include "EngineTables.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

ComposerInput BuildComposerInput(const TSongModel& song, int key)
{
    ComposerInput in;
    for (size_t b = 0; b < song.bars.size(); ++b) {
        const tagMelodyBar& bar = song.bars[b];
        if (bar.fill >= 0)
            in.fills.push_back({static_cast<int32_t>(b), bar.fill});
        if (bar.chords[0] < 0)
            continue;
        const bool half = bar.chords[1] >= 0;
        in.chords.push_back({ToAbsoluteChord(bar.chords[0], key), half ? 0 : 1});
        if (half)
            in.chords.push_back({ToAbsoluteChord(bar.chords[1], key), 0});
    }
    for (const tagMelodyStage& stage : song.stages)
        in.sections.push_back({stage.lastBar, stage.pattern});
    return in;
}

namespace {

// The composer may return a record per bar of the melody as it counted it,
// which can exceed the bars the model holds; room for both plus slack.
size_t RecordCapacity(const TSongModel& song)
{
    return std::max<size_t>(song.bars.size(), std::max(song.melodyBarCount, 0)) + 64;
}

int32_t Clamp(int32_t count, size_t capacity)
{
    return std::clamp<int32_t>(count, 0, static_cast<int32_t>(capacity));
}

void AdoptSections(TSongModel& song, const std::vector<ComposerSection>& sections)
{
    int32_t first = 0;
    for (const ComposerSection& s : sections) {
        song.stages.push_back({first, s.lastBar, s.pattern});
        first = s.lastBar + 1;
    }
}

void AdoptChordsAndFills(TSongModel& song, const std::vector<ComposerChord>& chords,
                         const std::vector<ComposerFill>& fills)
{
    for (const ComposerFill& f : fills)
        if (f.bar >= 0 && static_cast<size_t>(f.bar) < song.bars.size())
            song.bars[f.bar].fill = static_cast<int8_t>(f.variant);
    size_t bar = 0;
    for (size_t i = 0; i < chords.size() && bar < song.bars.size(); ++bar) {
        tagMelodyBar& target = song.bars[bar];
        target.chords[0] = static_cast<int8_t>(ToRelativeChord(chords[i].code, song.key));
        const bool whole = chords[i].wholeBar == 1;
        ++i;
        target.chords[1] = -1;
        if (!whole && i < chords.size())
            target.chords[1] = static_cast<int8_t>(ToRelativeChord(chords[i++].code, song.key));
    }
}

} // namespace

bool BaseCompose(TSongModel& song)
{
    ComposerInput in = BuildComposerInput(song, song.key);
    const size_t capacity = RecordCapacity(song);
    int32_t sectionCount = static_cast<int32_t>(in.sections.size());
    int32_t chordCount = static_cast<int32_t>(in.chords.size());
    int32_t fillCount = static_cast<int32_t>(in.fills.size());
    in.sections.resize(capacity);
    in.chords.resize(capacity * 2);
    in.fills.resize(capacity);
    std::vector<uint8_t> buffer(kBaseComposeBufferSize);
    int32_t size = kBaseComposeBufferSize;
    const int32_t result = Engines().sm.SM_BaseCompose(song.key, &size, buffer.data(), &sectionCount,
                                                       in.sections.data(), &chordCount, in.chords.data(),
                                                       &fillCount, in.fills.data(), song.styleId);
    if (result != 0)
        return false;
    in.sections.resize(Clamp(sectionCount, in.sections.size()));
    in.chords.resize(Clamp(chordCount, in.chords.size()));
    in.fills.resize(Clamp(fillCount, in.fills.size()));
    if (song.stages.empty())
        AdoptSections(song, in.sections);
    AdoptChordsAndFills(song, in.chords, in.fills);

    const auto& mm = Engines().mm;
    const int32_t loaded = mm.MM_LoadBaseCompose(buffer.data(), Clamp(size, buffer.size()));
    if (loaded < 0)
        return false;
    mm.MM_SetStreamVolume(3, song.accompanimentVolume);
    song.SetFlag(kFlagBaseAccompaniment, true);
    return loaded == 0;
}

} // namespace melodrift
