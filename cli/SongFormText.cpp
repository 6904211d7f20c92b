#include "SongFormText.h"

#include <sstream>

#include "CliError.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift::cli {

namespace {

constexpr int kSegmentIds = 4;

FormToken ParseToken(const std::string& word)
{
    if (word.size() == 1 && word[0] >= 'A' && word[0] <= 'Z')
        return {word[0] - 'A'};
    if (word.size() == 2 && (word[0] == 'i' || word[0] == 'o') && word[1] >= '1' && word[1] < '1' + kSegmentIds)
        return {(word[0] == 'i' ? kIntroRef : kOutroRef) + (word[1] - '1')};
    Fail(kExitUsage, "song form entry '" + word + "' is not a section letter A..Z, i1..i4 or o1..o4");
}

std::string TokenText(int ref)
{
    if (IsIntroRef(ref))
        return "i" + std::to_string(ref - kIntroRef + 1);
    if (IsOutroRef(ref))
        return "o" + std::to_string(ref - kOutroRef + 1);
    return StageLetter(ref);
}

// A melody section entry with the fills its bars carry, ending on a fill
// into what follows, as the default form has them.
tagComposeStage MelodyEntry(const TSongModel& song, int index)
{
    const tagMelodyStage& stage = song.stages[static_cast<size_t>(index)];
    tagComposeStage entry;
    entry.ref = index;
    entry.barCount = stage.lastBar - stage.firstBar + 1;
    entry.pattern = stage.pattern;
    entry.styleId = song.styleId;
    bool lastHasFill = false;
    for (int bar = stage.firstBar; bar <= stage.lastBar && bar < static_cast<int>(song.bars.size()); ++bar) {
        if (bar < 0 || song.bars[static_cast<size_t>(bar)].fill < 0)
            continue;
        entry.fills.push_back(MakeFill(bar - stage.firstBar, song.bars[static_cast<size_t>(bar)].fill));
        lastHasFill = bar == stage.lastBar;
    }
    if (!lastHasFill)
        entry.fills.push_back(MakeFill(stage.lastBar - stage.firstBar, 0));
    return entry;
}

tagComposeStage SegmentEntry(const TSongModel& song, int ref)
{
    const bool outro = IsOutroRef(ref);
    const int id = ref - (outro ? kOutroRef : kIntroRef);
    const int bars = (outro ? song.outroBars : song.introBars)[static_cast<size_t>(id)];
    if (bars <= 0)
        Fail(kExitUsage, std::string("the style has no ") + (outro ? "outro " : "intro or interlude ") +
                             std::to_string(id + 1) + " (song form entry " + TokenText(ref) + ")");
    tagComposeStage entry;
    entry.ref = ref;
    entry.barCount = bars;
    entry.styleId = song.styleId;
    return entry;
}

} // namespace

std::vector<FormToken> ParseSongForm(const std::string& text)
{
    std::istringstream words(text);
    std::vector<FormToken> tokens;
    for (std::string word; words >> word;)
        tokens.push_back(ParseToken(word));
    if (tokens.empty())
        Fail(kExitUsage, "the song form is empty");
    return tokens;
}

std::string FormatSongForm(const TSongModel& song)
{
    std::string text;
    for (const tagComposeStage& entry : song.songForm)
        text += (text.empty() ? "" : " ") + TokenText(entry.ref);
    return text;
}

void ApplySongForm(TSongModel& song, const std::vector<FormToken>& tokens)
{
    std::vector<tagComposeStage> form;
    bool anyMelody = false;
    for (const FormToken& token : tokens) {
        if (IsMelodyRef(token.ref)) {
            if (song.stages.empty())
                Fail(kExitUsage, "the take has no sections for song form entry " + TokenText(token.ref));
            if (token.ref >= static_cast<int>(song.stages.size()))
                Fail(kExitUsage, "song form entry " + TokenText(token.ref) + ": the take has sections A to " +
                                     StageLetter(static_cast<int>(song.stages.size()) - 1) + " only");
            form.push_back(MelodyEntry(song, token.ref));
            anyMelody = true;
        } else {
            form.push_back(SegmentEntry(song, token.ref));
        }
    }
    if (!anyMelody)
        Fail(kExitUsage, "the song form has no melody section");
    song.songForm = std::move(form);
}

} // namespace melodrift::cli
