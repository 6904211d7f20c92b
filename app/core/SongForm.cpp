#include "EngineTables.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

namespace {

int SegmentBars(const TSongModel& song, int ref)
{
    const auto& table = IsOutroRef(ref) ? song.outroBars : song.introBars;
    const int id = ref - (IsOutroRef(ref) ? kOutroRef : kIntroRef);
    return id >= 0 && id < static_cast<int>(table.size()) ? table[id] : 0;
}

void AddMelodyEntry(TSongModel& song, int index)
{
    const tagMelodyStage& stage = song.stages[index];
    tagComposeStage entry;
    entry.ref = index;
    entry.barCount = stage.lastBar - stage.firstBar + 1;
    entry.pattern = stage.pattern;
    entry.styleId = song.styleId;
    for (int bar = stage.firstBar; bar <= stage.lastBar; ++bar) {
        if (bar < 0 || bar >= static_cast<int>(song.bars.size()))
            continue;
        if (song.bars[bar].fill >= 0)
            entry.fills.push_back(MakeFill(bar - stage.firstBar, song.bars[bar].fill));
    }
    // Every melody pass ends with a fill leading into what follows.
    const bool lastHasFill = stage.lastBar >= 0 && stage.lastBar < static_cast<int>(song.bars.size()) &&
                             song.bars[stage.lastBar].fill >= 0;
    if (!lastHasFill)
        entry.fills.push_back(MakeFill(stage.lastBar - stage.firstBar, 0));
    song.songForm.push_back(std::move(entry));
}

void AddSegmentEntry(TSongModel& song, int ref, int bars)
{
    tagComposeStage entry;
    entry.ref = ref;
    entry.barCount = bars;
    entry.styleId = song.styleId;
    song.songForm.push_back(std::move(entry));
}

} // namespace

bool RefreshSegmentBars(TSongModel& song)
{
    if (song.styleId == song.segmentStyleId)
        return false;
    song.introBars.fill(0);
    song.outroBars.fill(0);
    const auto& sm = Engines().sm;
    if (!sm.SM_CheckStyle(song.styleId))
        return true;
    for (int i = 0; i < 4; ++i) {
        song.introBars[i] = sm.SM_GetSegmentBarNum(kIntroRef + i, song.styleId);
        song.outroBars[i] = sm.SM_GetSegmentBarNum(kOutroRef + i, song.styleId);
    }
    for (tagComposeStage& entry : song.songForm)
        if (entry.styleId == song.segmentStyleId)
            entry.styleId = song.styleId;
    song.segmentStyleId = song.styleId;
    return true;
}

bool RefreshStageLengths(TSongModel& song)
{
    bool changed = false;
    for (tagComposeStage& entry : song.songForm) {
        if (entry.styleId != song.styleId || IsMelodyRef(entry.ref) || entry.ref < 0)
            continue;
        tagComposeStage before = entry;
        const int bars = SegmentBars(song, entry.ref);
        if (bars > 0) {
            entry.barCount = bars;
        } else {
            entry.ref = IsOutroRef(entry.ref) ? kOutroRef : kIntroRef;
            entry.barCount = SegmentBars(song, entry.ref);
        }
        changed = changed || !(before == entry);
    }
    return changed;
}

void BuildDefaultSongForm(TSongModel& song)
{
    if (song.stages.empty() || !song.songForm.empty())
        return;
    const size_t first = song.Flag(kFlagLeadingRest) && song.stages[0].lastBar == 0 ? 1 : 0;
    for (int r = 0; r < 2; ++r) {
        if (song.introBars[r] > 0)
            AddSegmentEntry(song, kIntroRef + r, song.introBars[r]);
        for (size_t s = first; s < song.stages.size(); ++s)
            AddMelodyEntry(song, static_cast<int>(s));
    }
    if (song.outroBars[0] > 0)
        AddSegmentEntry(song, kOutroRef, song.outroBars[0]);
}

} // namespace melodrift
