#include <cstring>
#include <string>

#include "EngineTables.h"
#include "Patbank.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

std::string StageLetter(int index)
{
    if (index < 0)
        return {};
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('A' + index % 26));
        index /= 26;
    } while (index > 0);
    return text;
}

namespace {

std::string MelodyCaption(int index, int pattern)
{
    return "旋律" + StageLetter(index) + "段 " + PatternName(pattern);
}

std::string StyleName(int styleId)
{
    tagStyleInfo info{};
    if (Engines().sm.SM_GetStyleInfo(styleId, &info) != 0)
        return {};
    return std::string(info.name, strnlen(info.name, sizeof info.name));
}

std::string EntryCaption(const TSongModel& song, int index)
{
    const tagComposeStage& entry = song.songForm[index];
    std::string text;
    if (IsMelodyRef(entry.ref))
        text = MelodyCaption(entry.ref, entry.pattern);
    else if (IsIntroRef(entry.ref))
        text = std::string(index == 0 ? "前奏 (类型 " : "间奏 (类型 ") + std::to_string(entry.ref - 255) + ")";
    else if (IsOutroRef(entry.ref))
        text = "尾奏 (类型 " + std::to_string(entry.ref - 271) + ")";
    return text + "\n风格：" + StyleName(entry.styleId);
}

} // namespace

std::string StageCaption(const TSongModel& song, int index, CaptionKind kind)
{
    if (kind == CaptionKind::MelodyStage) {
        if (index < 0 || index >= static_cast<int>(song.stages.size()))
            return {};
        return MelodyCaption(index, song.stages[index].pattern);
    }
    if (index < 0 || index >= static_cast<int>(song.songForm.size()))
        return {};
    return EntryCaption(song, index);
}

} // namespace melodrift
