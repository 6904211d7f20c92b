#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "EngineTables.h"
#include "Patbank.h"
#include "PlaybackClock.h"
#include "Pipeline.h"
#include "ProjectFile.h"
#include "ProjectFormat.h"
#include "SongModel.h"

namespace melodrift {

namespace {

// Enough for the program's part of a long song; more is read only when needed.
constexpr size_t kHeadBytes = 1 << 20;

class ProjectEventGuard {
public:
    ProjectEventGuard() { ProjectEvent().Wait(); }
    ~ProjectEventGuard() { ProjectEvent().Set(); }
    ProjectEventGuard(const ProjectEventGuard&) = delete;
    ProjectEventGuard& operator=(const ProjectEventGuard&) = delete;
};

// Reads at most limit bytes from the start of the file; size gets its length.
bool ReadFileHead(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, size_t& size)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0)
        return false;
    size = static_cast<size_t>(length);
    in.seekg(0);
    bytes.resize(std::min(size, limit));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

// Values the rest of the program divides by or indexes with must be sane.
bool Plausible(const ProjectContent& c)
{
    if (!InRange(c.metre, 0, 3) || !InRange(c.tempo, 20, 300) || !InRange(c.key, -1, 11) ||
        !InRange(c.lastComposeKey, -1, 11))
        return false;
    for (const tagMelodyBar& bar : c.bars)
        if (!InRange(bar.chords[0], -1, 47) || !InRange(bar.chords[1], -1, 47))
            return false;
    for (const tagMelodyStage& s : c.stages)
        if (s.firstBar < 0 || s.lastBar < s.firstBar)
            return false;
    for (const tagComposeStage& e : c.songForm)
        if (e.ref < 0 || (IsMelodyRef(e.ref) && e.ref >= static_cast<int>(c.stages.size())) || e.barCount < 0)
            return false;
    return true;
}

// The song's style must be known to the composer and loadable, downloading
// it when only its record is here.
bool FetchSongStyle(int32_t styleId, std::string& name)
{
    const EngineTables& e = Engines();
    tagStyleInfo info{};
    if (e.sm.SM_GetStyleInfo(styleId, &info) != 0)
        return false;
    if (!e.sm.SM_CheckStyle(styleId) && (!e.cs.CS_DownloadStyle || e.cs.CS_DownloadStyle(styleId, nullptr) != 0))
        return false;
    name.assign(info.name, strnlen(info.name, sizeof info.name));
    return true;
}

int SegmentLength(int ref, int32_t styleId)
{
    return Engines().sm.SM_GetSegmentBarNum(ref, styleId);
}

// Entries whose style has vanished take the song's; a segment entry then
// takes its length in that style, or the first segment of its kind. Entries
// left without any bars are dropped.
bool AdoptSongStyle(ProjectContent& c)
{
    bool replaced = false;
    for (tagComposeStage& entry : c.songForm) {
        if (entry.styleId == c.styleId || Engines().sm.SM_CheckStyle(entry.styleId))
            continue;
        entry.styleId = c.styleId;
        replaced = true;
        if (IsMelodyRef(entry.ref))
            continue;
        int bars = SegmentLength(entry.ref, c.styleId);
        if (bars <= 0) {
            entry.ref = IsOutroRef(entry.ref) ? kOutroRef : kIntroRef;
            bars = SegmentLength(entry.ref, c.styleId);
        }
        entry.barCount = bars;
    }
    std::erase_if(c.songForm, [](const tagComposeStage& e) { return e.barCount <= 0; });
    return replaced;
}

void Apply(TSongModel& song, ProjectContent& c, std::string styleName)
{
    auto& mm = Engines().mm;
    song.genreMask = c.genreMask;
    song.styleId = c.styleId;
    song.styleFileName = std::move(styleName);
    song.SetFlag(kFlagProjectOption, c.option != 0);
    SetMetre(song, c.metre, true);
    SetTempo(song, c.tempo, true);
    song.key = c.key;
    song.timbreLibraryName = c.timbreLibraryName;
    song.recordVolume = c.recordVolume;
    song.speakerVolume = c.speakerVolume;
    song.voiceVolume = c.voiceVolume;
    song.accompanimentVolume = c.accompanimentVolume;
    mm.MM_SetStreamVolume(0, song.speakerVolume);
    mm.MM_SetStreamVolume(1, song.recordVolume);
    mm.MM_SetStreamVolume(2, song.voiceVolume);
    mm.MM_SetStreamVolume(3, song.accompanimentVolume);
    song.ClearSong(kClearAll);
    song.bars = std::move(c.bars);
    song.stages = std::move(c.stages);
    song.songForm = std::move(c.songForm);
    song.lastComposeKey = c.lastComposeKey;
    song.barVols = std::move(c.barVols);
    song.openStep = c.openStep;
    song.effectStates = c.effectStates;
    for (int i = 0; i < kEffectCount; ++i)
        mm.MM_SetFxPreset(kEffectIds[i], song.effectStates[i]);
}

// What the engine's block brings back decides which parts of the song stand.
void LoadEngineBlock(TSongModel& song, const std::string& path, MDP_Window progress, size_t offset, uint32_t word)
{
    auto& mm = Engines().mm;
    song.projectLoadValue =
        mm.MM_LoadProject(progress, path.c_str(), static_cast<int32_t>(offset), word, song.styleId);
    if (mm.MM_GetStreamLength(2) > 0) {
        SubmitMelody(song);
        song.SetFlag(kFlagMelody, true);
    } else {
        song.key = -1;
        song.saved.key = -1;
        song.ClearSong(kClearAll);
    }
    if (mm.MM_GetStreamLength(5) > 0) {
        song.SetFlag(kFlagVoiceCombined, true);
        song.SetFlag(kFlagFinalTake, true);
    } else {
        song.ClearSong(kClearFinalTake);
    }
}

} // namespace

namespace {

void ProgressRange(MDP_Window progress, int from, int to)
{
    if (progress)
        MDP_PostMessage(progress, UM_PROGRESS_RANGE, from, to);
}

// Engine offsets and consumed lengths must stay inside the file.
bool Advance(size_t& offset, int32_t used, size_t fileSize)
{
    if (used < 0 || static_cast<uint64_t>(used) + 4 > fileSize - offset)
        return false;
    offset += static_cast<size_t>(used) + 4;
    return true;
}

// Version 1: the engine's two blocks come first, then the program's fields,
// then the final take.
uint32_t ReadVersionOneProject(TSongModel& song, const std::string& path, MDP_Window progress,
                               const std::vector<uint8_t>& file, ProjectVersion version, uint32_t word)
{
    auto& mm = Engines().mm;
    uint32_t sizes[2];
    if (file.size() < kProjectHeaderSize + sizeof sizes)
        return kProjectDamaged;
    std::memcpy(sizes, file.data() + kProjectHeaderSize, sizeof sizes);
    size_t offset = kProjectHeaderSize + sizeof sizes;
    if (sizes[0] > file.size() - offset)
        return kProjectDamaged;
    ProgressRange(progress, 0, 40);
    const int32_t audio = mm.MM_LoadAudioMP3(path.c_str(), static_cast<int32_t>(offset), static_cast<int32_t>(sizes[0]));
    if (audio < 0)
        return kProjectAudioError;
    if (!Advance(offset, audio, file.size()))
        return kProjectDamaged;
    ProgressRange(progress, 40, 70);
    const int32_t analysis = mm.MM_LoadAnalysis(path.c_str(), static_cast<int32_t>(offset), word);
    if (analysis < 0)
        return kProjectAudioError;
    if (!Advance(offset, analysis, file.size()))
        return kProjectDamaged;

    ProjectContent content;
    size_t consumed = 0;
    if (!ParseProgramFields(file.data() + offset, file.size() - offset, version, content, consumed) ||
        !Plausible(content))
        return kProjectDamaged;
    std::string styleName;
    if (!FetchSongStyle(content.styleId, styleName))
        return kProjectStyleGone;
    const bool replaced = AdoptSongStyle(content);
    Apply(song, content, std::move(styleName));

    ProgressRange(progress, 70, 0);
    const size_t end = offset + consumed;
    mm.MM_LoadSongMP3(path.c_str(), static_cast<int32_t>(end), static_cast<int32_t>(file.size() - end));
    if (version.minor == 0) {
        const double ms = static_cast<double>(song.bars.size()) * BeatsPerBar(song.metre) * 60000.0 / song.tempo;
        mm.MM_SetStreamLength(2, static_cast<int32_t>(ms) + 100);
    }
    if (mm.MM_GetStreamLength(2) > 0) {
        SubmitMelody(song);
        song.SetFlag(kFlagMelody, true);
    } else {
        song.key = -1;
        song.saved.key = -1;
        song.ClearSong(kClearAll);
    }
    const bool finalTake = mm.MM_GetStreamLength(5) > 0;
    song.SetFlag(kFlagVoiceCombined, finalTake);
    song.SetFlag(kFlagFinalTake, finalTake);
    if (!finalTake)
        song.ClearSong(kClearFinalTake);
    return replaced ? kProjectStylesReplaced : kProjectOk;
}

// The checks and the parse of a current-version file: nothing is applied
// before all of them have passed.
uint32_t ReadCurrentProject(TSongModel& song, const std::string& path, MDP_Window progress,
                            std::vector<uint8_t>& head, size_t fileSize, ProjectVersion version, uint32_t word)
{
    ProjectContent content;
    size_t consumed = 0;
    auto parse = [&] {
        return ParseProgramFields(head.data() + kProjectHeaderSize, head.size() - kProjectHeaderSize, version,
                                  content, consumed);
    };
    // The program's part is small; the engine's takes need not be read here
    // unless the part runs past the head that was read.
    bool parsed = parse();
    if (!parsed && head.size() < fileSize) {
        size_t ignored = 0;
        parsed = ReadFileHead(path, fileSize, head, ignored) && head.size() == fileSize && parse();
    }
    if (!parsed || !Plausible(content))
        return kProjectDamaged;
    std::string styleName;
    if (!FetchSongStyle(content.styleId, styleName))
        return kProjectStyleGone;
    const bool replaced = AdoptSongStyle(content);
    Apply(song, content, std::move(styleName));
    LoadEngineBlock(song, path, progress, kProjectHeaderSize + consumed, word);
    return replaced ? kProjectStylesReplaced : kProjectOk;
}

} // namespace

uint32_t OpenProject(TSongModel& song, const std::string& path, MDP_Window progress)
{
    uint32_t result = kProjectCannotOpen;
    {
        ProjectEventGuard guard;
        song.openStep = -1;
        std::vector<uint8_t> file;
        size_t size = 0;
        if (ReadFileHead(path, kHeadBytes, file, size)) {
            uint32_t word = 0, total = 0;
            if (file.size() >= kProjectHeaderSize) {
                std::memcpy(&word, file.data(), sizeof word);
                std::memcpy(&total, file.data() + kTotalLengthOffset, sizeof total);
            }
            const ProjectVersion version = DecodeProjectVersion(word);
            if (size < kProjectHeaderSize || size != total)
                result = kProjectDamaged;
            else if (!version.Supported())
                result = kProjectBadVersion;
            else if (version.major == 2)
                result = ReadCurrentProject(song, path, progress, file, size, version, word);
            else if (!ReadFileHead(path, size, file, size) || file.size() != size)
                result = kProjectDamaged;
            else
                result = ReadVersionOneProject(song, path, progress, file, version, word);
        }
        if (ProjectOpened(result) && progress) {
            song.TakeSavedCopy();
            song.projectPath = path;
        }
    }
    if (progress && ProjectOpened(result))
        MDP_PostMessage(progress, UM_PROGRESS_DONE, 0, 0);
    else if (progress)
        MDP_PostMessage(progress, UM_PROGRESS_FAILED, static_cast<intptr_t>(result), 0);
    return result;
}

} // namespace melodrift
