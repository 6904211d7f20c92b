#include "ProjectFormat.h"

#include <cstring>

#include "ByteStream.h"

namespace melodrift {

namespace {

constexpr size_t kLevelsSize = kBarTicks * sizeof(int32_t);
constexpr size_t kBarRecordSize = 3 + kLevelsSize;
constexpr size_t kStageRecordSize = 3 * sizeof(int32_t);
constexpr size_t kEntryMinSize = 5 * sizeof(int32_t);
// Longest timbre library file name we accept; real names are far shorter.
constexpr int32_t kMaxNameLength = 4096;

void PutLevels(ByteWriter& w, const TickLevels& levels) { w.PutBytes(levels.data(), kLevelsSize); }

void PutRecords(ByteWriter& w, const ProjectContent& c)
{
    w.Put<int32_t>(static_cast<int32_t>(c.bars.size()));
    for (const tagMelodyBar& bar : c.bars) {
        w.Put(bar.chords[0]);
        w.Put(bar.chords[1]);
        w.Put(bar.fill);
        PutLevels(w, bar.levels);
    }
    w.Put<int32_t>(static_cast<int32_t>(c.stages.size()));
    for (const tagMelodyStage& s : c.stages) {
        w.Put(s.firstBar);
        w.Put(s.lastBar);
        w.Put(s.pattern);
    }
    w.Put<int32_t>(static_cast<int32_t>(c.songForm.size()));
    for (const tagComposeStage& e : c.songForm) {
        w.Put(e.ref);
        w.Put(e.barCount);
        w.Put(e.pattern);
        w.Put(e.styleId);
        w.Put<int32_t>(static_cast<int32_t>(e.fills.size()));
        for (int32_t fill : e.fills)
            w.Put(fill);
    }
}

bool GetLevels(ByteReader& r, TickLevels& levels) { return r.GetBytes(levels.data(), kLevelsSize); }

bool GetBars(ByteReader& r, ProjectContent& c)
{
    int32_t count = 0;
    if (!r.GetCount(count, kBarRecordSize))
        return false;
    c.bars.resize(count);
    for (tagMelodyBar& bar : c.bars) {
        // Loaded bars are voiced and never lead-in bars; those flags are not stored.
        if (!r.Get(bar.chords[0]) || !r.Get(bar.chords[1]) || !r.Get(bar.fill) || !GetLevels(r, bar.levels))
            return false;
    }
    return true;
}

bool GetStages(ByteReader& r, ProjectContent& c)
{
    int32_t count = 0;
    if (!r.GetCount(count, kStageRecordSize))
        return false;
    c.stages.resize(count);
    for (tagMelodyStage& s : c.stages)
        if (!r.Get(s.firstBar) || !r.Get(s.lastBar) || !r.Get(s.pattern))
            return false;
    return true;
}

bool GetSongForm(ByteReader& r, ProjectContent& c)
{
    int32_t count = 0;
    if (!r.GetCount(count, kEntryMinSize))
        return false;
    c.songForm.resize(count);
    for (tagComposeStage& e : c.songForm) {
        int32_t fills = 0;
        if (!r.Get(e.ref) || !r.Get(e.barCount) || !r.Get(e.pattern) || !r.Get(e.styleId) ||
            !r.GetCount(fills, sizeof(int32_t)))
            return false;
        e.fills.resize(fills);
        for (int32_t& fill : e.fills)
            r.Get(fill);
    }
    return r.Ok();
}

bool GetName(ByteReader& r, std::string& name)
{
    int32_t length = 0;
    if (!r.GetCount(length, 1) || length > kMaxNameLength)
        return r.Fail();
    std::string bytes(static_cast<size_t>(length), '\0');
    if (!r.GetBytes(bytes.data(), bytes.size()))
        return false;
    name.assign(bytes.c_str()); // up to the first zero, whether or not one was stored
    return true;
}

bool GetTail(ByteReader& r, ProjectContent& c)
{
    int32_t finalBars = 0;
    if (!r.Get(c.lastComposeKey) || !r.GetCount(finalBars, kLevelsSize))
        return false;
    c.barVols.resize(finalBars);
    for (tagBarVols& bar : c.barVols)
        GetLevels(r, bar.levels);
    int32_t effects = 0;
    if (!r.Get(c.openStep) || !r.GetCount(effects, sizeof(int32_t)))
        return false;
    for (int32_t i = 0; i < effects; ++i) {
        int32_t state = 0;
        r.Get(state);
        if (i < kEffectCount)
            c.effectStates[i] = state; // more than we know of: the rest is skipped
    }
    return r.Ok();
}

} // namespace

ProjectVersion DecodeProjectVersion(uint32_t word)
{
    const int low = static_cast<int>(word & 0xFFFF);
    const int high = static_cast<int>(word >> 16);
    if (low >= 2)
        return {high, low};
    // 2.0 reads as "0.2" by the swap rule, which no file ever carried.
    if (low == 0 && high == 2)
        return {2, 0};
    return {low, high};
}

ProjectContent ContentOf(const TSongModel& s)
{
    ProjectContent c;
    c.genreMask = s.genreMask;
    c.styleId = s.styleId;
    c.option = s.Flag(kFlagProjectOption) ? 1 : 0;
    c.metre = s.metre;
    c.tempo = s.tempo;
    c.key = s.key;
    c.timbreLibraryName = s.timbreLibraryName;
    c.recordVolume = s.recordVolume;
    c.speakerVolume = s.speakerVolume;
    c.voiceVolume = s.voiceVolume;
    c.accompanimentVolume = s.accompanimentVolume;
    c.bars = s.bars;
    c.stages = s.stages;
    c.songForm = s.songForm;
    c.lastComposeKey = s.lastComposeKey;
    c.barVols = s.barVols;
    c.openStep = s.openStep;
    c.effectStates = s.effectStates;
    return c;
}

std::vector<uint8_t> SerializeProgramPart(const ProjectContent& c)
{
    ByteWriter w;
    w.Put(kProjectVersion);
    w.Put<uint32_t>(0);
    w.Put(c.genreMask);
    w.Put(c.styleId);
    w.Put(c.option);
    w.Put(c.metre);
    w.Put(c.tempo);
    w.Put(c.key);
    w.Put<int32_t>(static_cast<int32_t>(c.timbreLibraryName.size() + 1));
    w.PutBytes(c.timbreLibraryName.c_str(), c.timbreLibraryName.size() + 1);
    w.Put(c.recordVolume);
    w.Put(c.speakerVolume);
    w.Put(c.voiceVolume);
    w.Put(c.accompanimentVolume);
    PutRecords(w, c);
    w.Put(c.lastComposeKey);
    w.Put<int32_t>(static_cast<int32_t>(c.barVols.size()));
    for (const tagBarVols& bar : c.barVols)
        PutLevels(w, bar.levels);
    w.Put(c.openStep);
    w.Put<int32_t>(kEffectCount);
    for (int32_t state : c.effectStates)
        w.Put(state);
    return std::move(w.Bytes());
}

bool ParseProgramFields(const uint8_t* data, size_t size, ProjectVersion version, ProjectContent& c,
                        size_t& consumed)
{
    ByteReader r(data, size);
    c = ProjectContent{};
    if (!r.Get(c.genreMask) || !r.Get(c.styleId))
        return false;
    if (version.HasOptionByte() && !r.Get(c.option))
        return false;
    if (!r.Get(c.metre) || !r.Get(c.tempo) || !r.Get(c.key) || !GetName(r, c.timbreLibraryName))
        return false;
    if (!r.Get(c.recordVolume) || !r.Get(c.speakerVolume) || !r.Get(c.voiceVolume) ||
        !r.Get(c.accompanimentVolume))
        return false;
    if (!GetBars(r, c) || !GetStages(r, c) || !GetSongForm(r, c) || !GetTail(r, c))
        return false;
    consumed = r.Position();
    return true;
}

} // namespace melodrift
