#include <gtest/gtest.h>

#include "SongFormLogic.h"
#include "SongModel.h"

using namespace melodrift;

namespace {

// Two melody stages A (bars 0-3, pattern 0) and B (4-7, pattern 2, a fill in
// its second bar); the style has intros 1 and 2 and outros 1 and 2.
TSongModel TwoStageSong()
{
    TSongModel song;
    song.styleId = 7;
    for (int i = 0; i < 8; ++i)
        song.AddBar();
    song.bars[5].fill = 1;
    song.stages = {{0, 3, 0}, {4, 7, 2}};
    song.introBars = {2, 4, 0, 0};
    song.outroBars = {2, 3, 0, 0};
    return song;
}

constexpr int I1 = kIntroRef, I2 = kIntroRef + 1, I3 = kIntroRef + 2, O1 = kOutroRef, O2 = kOutroRef + 1;

std::vector<int> Refs(const TSongModel& song)
{
    std::vector<int> refs;
    for (const auto& s : song.songForm)
        refs.push_back(s.ref);
    return refs;
}

void SetForm(TSongModel& song, const std::vector<int>& refs)
{
    song.songForm.clear();
    SongFormEditor form(song);
    for (int ref : refs)
        song.songForm.push_back(form.NewStage(ref));
}

TEST(SongFormLogicTest, ResourceListOffersTheStyleSectionsAroundTheMelodyStages)
{
    TSongModel song = TwoStageSong();
    std::vector<QString> texts;
    std::vector<int> refs;
    for (const ResourceItem& item : ResourceItems(song)) {
        texts.push_back(item.text);
        refs.push_back(item.ref);
    }
    EXPECT_EQ(refs, (std::vector<int>{I1, I2, 0, 1, O1, O2}));
    EXPECT_EQ(texts, (std::vector<QString>{QStringLiteral("前/间奏-1(2小节)"), QStringLiteral("前/间奏-2(4小节)"),
                                           QStringLiteral("A段 (伴奏型1)"), QStringLiteral("B段 (伴奏型3)"),
                                           QStringLiteral("尾奏-1(2小节)"), QStringLiteral("尾奏-2(3小节)")}));
}

TEST(SongFormLogicTest, NewStagesTakeLengthsPatternsAndFills)
{
    TSongModel song = TwoStageSong();
    SongFormEditor form(song);
    const tagComposeStage b = form.NewStage(1);
    EXPECT_EQ(b.barCount, 4);
    EXPECT_EQ(b.pattern, 2);
    EXPECT_EQ(b.styleId, 7);
    EXPECT_EQ(b.fills, std::vector<int32_t>{MakeFill(1, 1)});
    EXPECT_EQ(form.NewStage(O2).barCount, 3);
    EXPECT_EQ(form.NewStage(I2).pattern, -1);
}

TEST(SongFormLogicTest, CompositionOperationsFollowTheOutroRules)
{
    struct Case {
        const char* name;
        std::vector<int> before;
        char op;        // a append, i insert (arg = position), m move (index -> position), r remove
        int ref;        // the resource, or the moved/removed index
        int arg;
        bool changed;
        std::vector<int> after;
    };
    const Case cases[] = {
        {"append to an empty form", {}, 'a', 0, 0, true, {0}},
        {"append a melody stage before a final outro", {I1, 0, O1}, 'a', 1, 0, true, {I1, 0, 1, O1}},
        {"another outro replaces the final one", {0, O1}, 'a', O2, 0, true, {0, O2}},
        {"the same outro again does nothing", {0, O1}, 'a', O1, 0, false, {0, O1}},
        {"an outro appended to a form without one", {I1, 0}, 'a', O1, 0, true, {I1, 0, O1}},
        {"a variation the style lacks", {0}, 'a', I3, 0, false, {0}},
        {"insert a melody stage in the middle", {I1, 0, I2, 0, O1}, 'i', 0, 2, true, {I1, 0, 0, I2, 0, O1}},
        {"insert at the front", {0, O1}, 'i', I1, 0, true, {I1, 0, O1}},
        {"an outro into the middle is refused", {I1, 0, 0}, 'i', O1, 1, false, {I1, 0, 0}},
        {"an outro at the end", {I1, 0}, 'i', O1, 2, true, {I1, 0, O1}},
        {"an outro after an outro is refused", {0, O1}, 'i', O2, 2, false, {0, O1}},
        {"nothing after an outro", {0, O1}, 'i', 1, 2, false, {0, O1}},
        {"a stage onto its own position", {I1, 0, 1}, 'm', 1, 1, false, {I1, 0, 1}},
        {"a stage onto the next position", {I1, 0, 1}, 'm', 1, 2, false, {I1, 0, 1}},
        {"move down past a neighbour", {I1, 0, 1}, 'm', 0, 2, true, {0, I1, 1}},
        {"move to the front", {I1, 0, 1}, 'm', 2, 0, true, {1, I1, 0}},
        {"move to the end", {I1, 0, 1}, 'm', 0, 3, true, {0, 1, I1}},
        {"an outro cannot move", {0, 1, O1}, 'm', 2, 0, false, {0, 1, O1}},
        {"nothing moves behind an outro", {0, 1, O1}, 'm', 0, 3, false, {0, 1, O1}},
        {"remove the middle", {I1, 0, O1}, 'r', 1, 0, true, {I1, O1}},
        {"remove the last stage: the form may be emptied here", {0}, 'r', 0, 0, true, {}},
        {"remove out of range", {0}, 'r', 3, 0, false, {0}},
    };
    for (const Case& c : cases) {
        TSongModel song = TwoStageSong();
        SetForm(song, c.before);
        SongFormEditor form(song);
        bool changed = false;
        switch (c.op) {
        case 'a': changed = form.Append(c.ref); break;
        case 'i': changed = form.Insert(c.ref, c.arg); break;
        case 'm': changed = form.Move(c.ref, c.arg); break;
        default: changed = form.Remove(c.ref); break;
        }
        EXPECT_EQ(changed, c.changed) << c.name;
        EXPECT_EQ(Refs(song), c.after) << c.name;
    }
}

TEST(SongFormLogicTest, MoveButtonsBarsAndFills)
{
    TSongModel song = TwoStageSong();
    SetForm(song, {I1, 0, 1, O1});
    SongFormEditor form(song);
    // Up: not the first, not the outro. Down: not the last, not before the outro.
    const bool up[] = {false, true, true, false};
    const bool down[] = {true, true, false, false};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form.MoveUpEnabled(i), up[i]) << i;
        EXPECT_EQ(form.MoveDownEnabled(i), down[i]) << i;
    }
    EXPECT_FALSE(form.MoveUpEnabled(-1));

    EXPECT_EQ(form.BarCount(), 2 + 4 + 4 + 2);
    EXPECT_EQ(form.StageOfBar(1), 0);
    EXPECT_EQ(form.StageOfBar(2), 1);
    EXPECT_EQ(form.StageOfBar(11), 3);
    EXPECT_EQ(form.StageOfBar(12), -1);
    EXPECT_EQ(form.FirstBarOf(2), 6);

    // Fills: choosing records, choosing the same removes, the other replaces.
    EXPECT_EQ(form.FillAt(2, 1), 1);
    EXPECT_TRUE(form.ToggleFill(2, 1, 1));
    EXPECT_EQ(form.FillAt(2, 1), -1);
    EXPECT_TRUE(form.ToggleFill(2, 3, 0));
    EXPECT_TRUE(form.ToggleFill(2, 3, 1));
    EXPECT_EQ(form.FillAt(2, 3), 1);
    EXPECT_EQ(song.songForm[2].fills.size(), 1u);
    EXPECT_FALSE(form.ToggleFill(0, 0, 0)) << "intros carry no fills";
    EXPECT_FALSE(form.ToggleFill(2, 4, 0)) << "past the stage";

    EXPECT_TRUE(form.SetPattern(1, 3));
    EXPECT_EQ(ComposeStageName(song, song.songForm[1]), QStringLiteral("A段 (伴奏型4)"));
    EXPECT_EQ(StageColour(song.songForm[1]), QColor(0xF2B979));
    EXPECT_FALSE(form.SetPattern(0, 1)) << "an intro has no pattern";
    EXPECT_EQ(StageColour(song.songForm[3], true), QColor(0xA4B1C8));
}

TEST(SongFormLogicTest, SidePanelsShareTheHeightByWholeRows)
{
    struct Case {
        int h, items, mode, resource, compose;
    };
    const Case cases[] = {
        {400, 5, 0, 129, 271},   // the resource panel asks for 137, the compose panel rounds up to rows
        {400, 30, 0, 169, 231},  // a long resource list asks for 4/9 at most
        {400, 5, 1, 17, 383},
        {400, 5, 2, 369, 31},
        {40, 5, 0, 9, 31},       // too small: the compose chrome stays
    };
    for (const Case& c : cases) {
        const SidePanelSplit s = SplitSidePanels(c.h, c.items, c.mode);
        EXPECT_EQ(s.resource, c.resource) << c.h << " " << c.items << " " << c.mode;
        EXPECT_EQ(s.compose, c.compose) << c.h << " " << c.items << " " << c.mode;
        EXPECT_EQ(s.resource + s.compose, c.h);
    }
}

} // namespace
