#include <gtest/gtest.h>

#include <cstring>

#include "FakeEngine.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {
namespace {

// Three bars with chords, fills and levels, two stages, a song form and a final take.
TSongModel FilledSong()
{
    TSongModel s;
    for (int i = 0; i < 3; ++i) {
        tagMelodyBar& bar = s.AddBar();
        bar.chords = {static_cast<int8_t>(i * 4), static_cast<int8_t>(i == 0 ? 5 : -1)};
        bar.fill = static_cast<int8_t>(i == 2 ? 1 : -1);
        bar.levels[10] = 100 + i;
    }
    s.stages = {{0, 1, 0}, {2, 2, 3}};
    s.songForm = {{256, 4, -1, 7, {}}, {0, 2, 0, 7, {MakeFill(1, 0)}}};
    s.barVols.resize(5);
    s.SetFlag(kFlagMelody, true);
    s.SetFlag(kFlagBaseAccompaniment, true);
    s.SetFlag(kFlagComposed, true);
    s.SetFlag(kFlagVoiceCombined, true);
    s.SetFlag(kFlagFinalTake, true);
    s.SetFlag(kFlagExported, true);
    return s;
}

TEST(SongModel, NewBarAndEmptySongStartWithTheirInitialValues)
{
    TSongModel s;
    const tagMelodyBar& bar = s.AddBar();
    EXPECT_TRUE(bar.voiced);
    EXPECT_FALSE(bar.leadIn);
    EXPECT_EQ(bar.fill, -1);
    EXPECT_EQ(bar.chords[0], -1);
    EXPECT_EQ(bar.chords[1], -1);
    for (int32_t level : bar.levels)
        ASSERT_EQ(level, 0);
    EXPECT_EQ(s.styleId, -1);
    EXPECT_EQ(s.key, -1);
    EXPECT_EQ(s.tempo, 75);
    EXPECT_FLOAT_EQ(s.recordVolume, -1);
    EXPECT_FLOAT_EQ(s.voiceVolume, 1);
    EXPECT_TRUE(s.Flag(kFlagAutoLevel));
    EXPECT_TRUE(s.Flag(kFlagShowRecordHint));
    EXPECT_TRUE(s.Flag(kFlagBarPositions));
    EXPECT_TRUE(s.Flag(kFlagRememberLogin));
    EXPECT_FALSE(s.Flag(kFlagMelody));
    int32_t size = 0;
    std::memcpy(&size, s.uploadInfo.data(), 4);
    EXPECT_EQ(size, 1008);
}

TEST(SongModel, ClearSongRemovesWhatEachMaskBitNames)
{
    struct Case {
        int mask;
        size_t bars, stages, entries, finalBars;
        bool chordsKept, melody, base, composed, combined, finalTake;
    };
    const Case cases[] = {
        {1, 0, 2, 2, 5, false, false, true, true, true, true},
        {2, 3, 2, 2, 5, false, true, true, true, true, true},
        {3, 0, 2, 2, 5, false, false, true, true, true, true},
        {4, 3, 0, 2, 5, true, true, false, true, true, true},
        {8, 3, 2, 0, 5, true, true, true, false, true, true},
        {16, 3, 2, 2, 0, true, true, true, true, false, false},
        {31, 0, 0, 0, 0, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        TSongModel s = FilledSong();
        s.ClearSong(c.mask);
        EXPECT_EQ(s.bars.size(), c.bars);
        EXPECT_EQ(s.stages.size(), c.stages);
        EXPECT_EQ(s.songForm.size(), c.entries);
        EXPECT_EQ(s.barVols.size(), c.finalBars);
        EXPECT_EQ(s.Flag(kFlagMelody), c.melody);
        EXPECT_EQ(s.Flag(kFlagBaseAccompaniment), c.base);
        EXPECT_EQ(s.Flag(kFlagComposed), c.composed);
        EXPECT_EQ(s.Flag(kFlagVoiceCombined), c.combined);
        EXPECT_EQ(s.Flag(kFlagFinalTake), c.finalTake);
        EXPECT_FALSE(s.Flag(kFlagExported)) << "every clear forgets the export";
        if (!s.bars.empty()) {
            EXPECT_EQ(s.bars[0].chords[0] != -1, c.chordsKept);
            EXPECT_EQ(s.bars[2].fill != -1, c.chordsKept);
            EXPECT_EQ(s.bars[1].levels[10], 101) << "levels survive a chord clear";
        }
    }
}

TEST(SongModel, SavedCopyComparisonFindsEveryKindOfChange)
{
    struct Case {
        const char* what;
        void (*change)(TSongModel&);
        bool modified;
    };
    const Case cases[] = {
        {"nothing", [](TSongModel&) {}, false},
        {"key", [](TSongModel& s) { s.key = 3; }, true},
        {"style", [](TSongModel& s) { s.styleId = 8; }, true},
        {"voice volume", [](TSongModel& s) { s.voiceVolume = 0.5f; }, true},
        {"record volume", [](TSongModel& s) { s.recordVolume = 0.25f; }, true},
        {"timbre library", [](TSongModel& s) { s.timbreLibraryName = "other.sf2"; }, true},
        {"second chord", [](TSongModel& s) { s.bars[1].chords[1] = 9; }, true},
        {"fill", [](TSongModel& s) { s.bars[0].fill = 0; }, true},
        {"one level", [](TSongModel& s) { s.bars[2].levels[119] = 1; }, true},
        {"lead-in", [](TSongModel& s) { s.bars[0].leadIn = true; }, true},
        {"bar count", [](TSongModel& s) { s.AddBar(); }, true},
        {"stage pattern", [](TSongModel& s) { s.stages[1].pattern = 1; }, true},
        {"entry fill", [](TSongModel& s) { s.songForm[1].fills.push_back(3); }, true},
        {"entry style", [](TSongModel& s) { s.songForm[0].styleId = 8; }, true},
        {"effect", [](TSongModel& s) { s.effectStates[6] = 2; }, true},
        {"final take level", [](TSongModel& s) { s.barVols[4].levels[0] = 9; }, true},
        {"final take level, take not valid",
         [](TSongModel& s) {
             s.SetFlag(kFlagFinalTake, false);
             s.barVols[4].levels[0] = 9;
         },
         false},
        {"tempo and metre are not compared",
         [](TSongModel& s) {
             s.tempo = 120;
             s.metre = 2;
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TSongModel s = FilledSong();
        s.styleId = 7;
        s.key = 2;
        s.TakeSavedCopy();
        c.change(s);
        EXPECT_EQ(s.IsModified(), c.modified);
    }
}

TEST(SongModel, AccompanimentKeyTakenOverFromTheKeyIsNoChange)
{
    struct Case {
        int savedLast, key, last;
        bool modified;
    };
    const Case cases[] = {
        {-1, 4, 4, false},  // saved "same as key", now set to the key
        {-1, 4, 5, true},
        {4, 4, -1, true},
        {3, 4, 3, false},
    };
    for (const Case& c : cases) {
        TSongModel s;
        s.key = c.key;
        s.lastComposeKey = c.savedLast;
        s.TakeSavedCopy();
        s.lastComposeKey = c.last;
        EXPECT_EQ(s.IsModified(), c.modified) << c.savedLast << " -> " << c.last;
    }
}

TEST(SongModel, IsModifiedComparesTheGivenStyleInsteadOfTheSongs)
{
    TSongModel s;
    s.styleId = 7;
    s.TakeSavedCopy();
    EXPECT_FALSE(s.IsModified(7));
    EXPECT_TRUE(s.IsModified(8));
    s.styleId = 8;
    EXPECT_FALSE(s.IsModified(7));
}

TEST(SongModel, NewSongLeavesAnUnmodifiedEmptySong)
{
    test::InstallFakeEngine();
    TSongModel s = FilledSong();
    s.key = 5;
    s.lastComposeKey = 2;
    s.projectPath = "/tmp/x.cpj";
    s.effectStates = {1, 0, 0, 2, 0, 0, 3, 0, 0, 0, 2};
    s.uploadInfo[100] = 9;
    s.TakeSavedCopy();
    NewSong(s);
    EXPECT_TRUE(s.bars.empty() && s.stages.empty() && s.songForm.empty() && s.barVols.empty());
    EXPECT_EQ(s.key, -1);
    EXPECT_EQ(s.lastComposeKey, -1);
    EXPECT_TRUE(s.projectPath.empty());
    EXPECT_EQ(s.uploadInfo[100], 0);
    EXPECT_EQ(s.effectStates[3], 2);
    EXPECT_EQ(s.effectStates[0], 0);
    EXPECT_FALSE(s.IsModified()) << "reverb already at its reset state must not count as a change";
}

TEST(Vocabulary, MetresAndNames)
{
    struct Case {
        int metre, beats, displayTicks;
        const char *name, *code;
    };
    const Case cases[] = {{0, 4, 30, "4/4", "44"}, {1, 3, 40, "3/4", "43"}, {2, 2, 60, "2/4", "42"}, {3, 3, 20, "6/8", "86"}};
    for (const Case& c : cases) {
        EXPECT_EQ(BeatsPerBar(c.metre), c.beats);
        EXPECT_EQ(TicksPerDisplayedBeat(c.metre), c.displayTicks);
        EXPECT_STREQ(MetreName(c.metre), c.name);
        EXPECT_STREQ(MetreFileCode(c.metre), c.code);
    }
    EXPECT_EQ(kBarTicks / TicksPerDisplayedBeat(3), 6) << "six displayed beats in 6/8";
    EXPECT_STREQ(KeyName(6), "#F");
    EXPECT_STREQ(KeyName(10), "bB");
    EXPECT_STREQ(KeyName(12), "");
    EXPECT_STREQ(KeyName(-1), "");
    EXPECT_STREQ(PatternName(3), "(伴奏型4)");
    EXPECT_STREQ(OutroPartName(0), "尾奏-1");
    EXPECT_EQ(SectionName('B'), "B段");
}

} // namespace
} // namespace melodrift
