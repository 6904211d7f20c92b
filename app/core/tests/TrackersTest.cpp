#include <gtest/gtest.h>

#include "SongModel.h"
#include "TComposeBackup.h"
#include "TMelodyBackup.h"

namespace melodrift {
namespace {

TSongModel Song()
{
    TSongModel s;
    s.key = 2;
    for (int i = 0; i < 4; ++i)
        s.AddBar().chords = {static_cast<int8_t>(i * 4), -1};
    s.stages = {{0, 1, 0}, {2, 3, 1}};
    s.songForm = {{256, 2, -1, 7, {}}, {0, 2, 0, 7, {MakeFill(1, 0)}}, {1, 2, 1, 7, {}}};
    return s;
}

TEST(MelodyBackup, ReportsWhatChangedSinceTheSnapshot)
{
    struct Case {
        const char* what;
        void (*change)(TSongModel&);
        int mask, flags;
    };
    const Case cases[] = {
        {"nothing", [](TSongModel&) {}, 127, 0},
        {"key", [](TSongModel& s) { s.key = 5; }, 127, kChangeKey},
        {"one chord", [](TSongModel& s) { s.bars[2].chords[1] = 9; }, 127, kChangeChords},
        {"one fill", [](TSongModel& s) { s.bars[3].fill = 0; }, 127, kChangeFills},
        {"bar count hides chords", [](TSongModel& s) {
             s.AddBar();
             s.bars[0].chords[0] = 30;
         }, 6, kChangeBarCount},
        {"stage bounds", [](TSongModel& s) {
             s.stages[0].lastBar = 2;
             s.stages[1].firstBar = 3;
         }, 127, kChangeStageBounds},
        {"stage pattern", [](TSongModel& s) { s.stages[1].pattern = 3; }, 127, kChangePatterns},
        {"stage count hides bounds", [](TSongModel& s) {
             s.stages.push_back({4, 4, 0});
             s.stages[0].pattern = 2;
         }, 127, kChangeStageCount},
        {"mask without chords", [](TSongModel& s) { s.bars[0].chords[0] = 30; }, kChangeKey, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TSongModel s = Song();
        TMelodyBackup backup;
        backup.TakeSnapshot(s);
        c.change(s);
        EXPECT_EQ(backup.ChangedAspects(s, c.mask), c.flags);
    }
}

TEST(MelodyBackup, FlagsClearOnlyForTheAspectsAskedAgain)
{
    TSongModel s = Song();
    TMelodyBackup backup;
    backup.TakeSnapshot(s);
    s.bars[1].chords[0] = 11;
    s.key = 7;
    EXPECT_EQ(backup.ChangedAspects(s, 127), kChangeKey | kChangeChords);
    s.bars[1].chords[0] = 4;
    EXPECT_EQ(backup.ChangedAspects(s, kChangeChords), kChangeKey) << "the key bit stays from before";
    s.key = 2;
    EXPECT_EQ(backup.ChangedAspects(s, kChangeFills), kChangeKey) << "not re-tested";
    EXPECT_EQ(backup.ChangedAspects(s, kChangeKey), 0);
}

TEST(MelodyBackup, RevertPutsTheSnapshotBack)
{
    TSongModel s = Song();
    s.bars[1].fill = 1;
    TMelodyBackup backup;
    backup.TakeSnapshot(s);
    s.key = 9;
    s.bars[0].chords = {20, 21};
    s.bars[1].fill = -1;
    s.stages[0].pattern = 3;
    backup.Revert(s);
    EXPECT_EQ(s.key, 2);
    EXPECT_EQ(s.bars[0].chords, (std::array<int8_t, 2>{0, -1}));
    EXPECT_EQ(s.bars[1].fill, 1);
    EXPECT_EQ(s.stages, Song().stages);
    EXPECT_EQ(backup.ChangedAspects(s, 127), 0);

    s.stages = {{0, 3, 2}};
    s.SetFlag(kFlagBaseAccompaniment, true);
    backup.Revert(s);
    EXPECT_EQ(s.stages, Song().stages);
    EXPECT_FALSE(s.Flag(kFlagBaseAccompaniment)) << "stages were cleared and recreated";

    s.AddBar().chords = {8, -1};
    s.bars[0].chords = {1, -1};
    backup.Revert(s);
    EXPECT_EQ(s.bars.size(), 5u) << "bars only in the song are left";
    EXPECT_EQ(s.bars[4].chords[0], 8);
    EXPECT_EQ(s.bars[0].chords[0], 0);
}

TEST(ComposeBackup, ReportsEntryChanges)
{
    struct Case {
        const char* what;
        void (*change)(TSongModel&);
        int mask, flags;
    };
    const Case cases[] = {
        {"nothing", [](TSongModel&) {}, 255, 0},
        {"entry added", [](TSongModel& s) { s.songForm.push_back({272, 2, -1, 7, {}}); }, 255, kChangeStageCount},
        {"ref", [](TSongModel& s) { s.songForm[0].ref = 257; }, 255, kChangeStageBounds},
        {"bar count", [](TSongModel& s) { s.songForm[0].barCount = 4; }, 255, kChangeStageBounds},
        {"pattern", [](TSongModel& s) { s.songForm[2].pattern = 3; }, 255, kChangePatterns},
        {"style", [](TSongModel& s) { s.songForm[1].styleId = 8; }, 255, kChangeStyles},
        {"fill value", [](TSongModel& s) { s.songForm[1].fills[0] = MakeFill(1, 1); }, 255, kChangeFills},
        {"fill added", [](TSongModel& s) { s.songForm[2].fills.push_back(0); }, 255, kChangeFills},
        {"style outside the mask", [](TSongModel& s) { s.songForm[1].styleId = 8; }, kChangePatterns, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TSongModel s = Song();
        TComposeBackup backup;
        backup.TakeSnapshot(s);
        c.change(s);
        EXPECT_EQ(backup.ChangedAspects(s, c.mask), c.flags);
    }
}

TEST(ComposeBackup, RevertRestoresTheForm)
{
    TSongModel s = Song();
    TComposeBackup backup;
    backup.TakeSnapshot(s);
    s.songForm[1].fills.clear();
    s.songForm[2].styleId = 9;
    backup.Revert(s);
    EXPECT_EQ(s.songForm, Song().songForm);
    s.songForm.pop_back();
    s.SetFlag(kFlagComposed, true);
    backup.Revert(s);
    EXPECT_EQ(s.songForm, Song().songForm);
    EXPECT_FALSE(s.Flag(kFlagComposed));
}

} // namespace
} // namespace melodrift
