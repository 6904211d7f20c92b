// Chord buttons and stage operations of the base step, without pixels.
#include <gtest/gtest.h>

#include "BaseEdits.h"
#include "SongModel.h"
#include "TBasePanel.h"

using namespace melodrift;

TEST(BaseChords, DegreeClicksGiveTheChordsOfTheirDisplay)
{
    enum { C, D, E, F, G, A, B };
    struct Case {
        int tag;
        bool letters;
        int key;
        int code;
    };
    const Case cases[] = {
        {E, true, 0, 17},        // key C, E: E minor
        {E, true, 10, 20},       // key bB, E: Eb major
        {F, true, 2, 17},        // key D, F: F# minor
        {6, false, 0, 40},       // Roman Ⅶ: flat Ⅶ major
        {C, true, 1, 44},        // key bD, C: Ⅶ natural, C major
        {1, false, 5, 2 * 4 + 1},// Roman Ⅱ: minor
        {3, false, 5, 5 * 4},    // Roman Ⅳ: major
        {G, true, 7, 0},         // the key's own letter: Ⅰ
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComposeChord(ChooseDegree(c.tag, c.letters, c.key)), c.code)
            << "tag " << c.tag << (c.letters ? " letters" : " roman") << " key " << c.key;
}

TEST(BaseChords, CodesSurviveTheButtonsAndLettersSpellTheKey)
{
    for (int code = 0; code < 48; ++code)
        EXPECT_EQ(ComposeChord(DecomposeChord(code)), code) << code;
    EXPECT_EQ(DecomposeChord(-1), ChordButtons{});
    EXPECT_EQ(ComposeChord({7, 0, 0}), -1) << "a button above 6 is no chord";
    // Eb major in key bB shows E with the flat pressed; F# in D the F with the sharp.
    LetterButtons eb = ShowInLetters(DecomposeChord(20), 10);
    EXPECT_EQ(eb.letter, 2);
    EXPECT_TRUE(eb.flatDown);
    EXPECT_FALSE(eb.sharpEnabled);
    LetterButtons fis = ShowInLetters(DecomposeChord(17), 2);
    EXPECT_EQ(fis.letter, 3);
    EXPECT_TRUE(fis.sharpDown);
    EXPECT_TRUE(fis.sharpEnabled);
    EXPECT_FALSE(fis.flatEnabled);
    // Composing a letter with an accidental goes through the key.
    EXPECT_EQ(ComposeChord(LetterToDegree(2, -1, 10)), 20);
}

namespace {

TSongModel SongWithStages(std::vector<tagMelodyStage> stages, int bars)
{
    TSongModel song;
    for (int i = 0; i < bars; ++i)
        song.AddBar();
    song.stages = std::move(stages);
    return song;
}

} // namespace

TEST(BaseStages, SplitAndMergeFindTheirPointOrRefuse)
{
    const TSongModel song = SongWithStages({{0, 3, 0}, {4, 4, 1}, {5, 7, 0}}, 8);
    struct Case {
        int bar, offset, split, merge;
    };
    const Case cases[] = {
        {0, 10, -1, -1},   // left half of the first stage's first bar
        {0, 70, 1, -1},
        {2, 30, 2, -1},
        {3, 70, -1, 1},    // right half of a stage's last bar: merge with the next
        {4, 10, -1, 1},    // a one-bar stage cannot be split
        {4, 70, -1, 2},
        {7, 70, -1, -1},   // right half of the last stage's last bar
        {9, 10, -1, -1},   // no bar
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitPoint(song, c.bar, c.offset), c.split) << c.bar << "/" << c.offset;
        EXPECT_EQ(MergeBoundary(song, c.bar, c.offset), c.merge) << c.bar << "/" << c.offset;
    }
}

TEST(BaseStages, SplitPicksAPatternUnlikeItsNeighboursAndMergeKeepsTheFirst)
{
    TSongModel song = SongWithStages({{0, 3, 3}, {4, 7, 0}}, 8);
    ASSERT_TRUE(ApplySplit(song, 2));
    ASSERT_EQ(song.stages.size(), 3u);
    EXPECT_EQ(song.stages[0], (tagMelodyStage{0, 1, 3}));
    EXPECT_EQ(song.stages[1], (tagMelodyStage{2, 3, 1})) << "3 + 1 would be 0 like the next stage";
    ASSERT_TRUE(ApplyMerge(song, 1));
    EXPECT_EQ(song.stages[0], (tagMelodyStage{0, 3, 3}));
    EXPECT_FALSE(ApplyMerge(song, 0));
    // A boundary keeps a bar on each side.
    EXPECT_FALSE(MoveBoundary(song, 1, 0));
    EXPECT_FALSE(MoveBoundary(song, 1, 8));
    EXPECT_TRUE(MoveBoundary(song, 1, 7));
    EXPECT_EQ(song.stages[0].lastBar, 6);
    EXPECT_TRUE(MoveBoundary(song, 1, 1));
    EXPECT_EQ(song.stages[1].firstBar, 1);
}

TEST(BasePanel, EditsReportTheirChangesAndRevertRestoresTheSnapshot)
{
    TSongModel song = SongWithStages({{0, 3, 0}, {4, 7, 1}}, 8);
    song.key = 0;
    song.bars[2].chords = {20, -1};
    TBasePanel view(song);
    view.resize(600, 300);
    std::vector<int> reports;
    QObject::connect(&view, &TBasePanel::barsChanged, [&](int flags) { reports.push_back(flags); });
    view.ReloadFromModel();
    EXPECT_EQ(view.MarkerCount(), 2);
    EXPECT_EQ(view.MarkerHint(1), QStringLiteral("旋律B段 (伴奏型2)"));

    view.SetSelectedChord(0, 0, 0);
    EXPECT_TRUE(reports.empty()) << "no slot selected: nothing stored";
    ASSERT_TRUE(view.SelectSlot(2, 0));
    EXPECT_FALSE(view.SelectSlot(2, 0));
    EXPECT_EQ(view.GetSelectedChord(), (ChordButtons{3, 0, 0}));
    view.SetSelectedChord(1, 0, 1);
    EXPECT_EQ(song.bars[2].chords[0], 9);
    view.SetSelectedChord(3, 0, 0);   // back as it was
    view.SetBarFill(5, 1);
    EXPECT_TRUE(view.Split(5, 70, false));
    EXPECT_EQ(view.MarkerCount(), 3);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0], kChangeChords);
    EXPECT_EQ(reports[1], 0) << "the chord went back to the snapshot";
    EXPECT_EQ(reports[2], kChangeFills);
    EXPECT_EQ(reports[3], kChangeFills | kChangeStageCount);

    view.Revert();
    EXPECT_EQ(song.stages.size(), 2u);
    EXPECT_EQ(song.bars[5].fill, -1);
    EXPECT_EQ(view.MarkerCount(), 2);
    EXPECT_EQ(view.ChangedAspects(127), 0);
}
