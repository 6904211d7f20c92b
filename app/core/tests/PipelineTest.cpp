#include <gtest/gtest.h>

#include "FakeEngine.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {
namespace {

using test::Fake;

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override { test::InstallFakeEngine(); }

    // n bars, a stage per `stageEnds` entry (inclusive last bars).
    static TSongModel Song(int bars, std::vector<int> stageEnds, int key = 0, int metre = 0)
    {
        TSongModel s;
        s.key = key;
        s.metre = metre;
        s.styleId = 7;
        for (int i = 0; i < bars; ++i)
            s.AddBar();
        int first = 0;
        for (size_t i = 0; i < stageEnds.size(); ++i) {
            s.stages.push_back({first, stageEnds[i], static_cast<int32_t>(i % 4)});
            first = stageEnds[i] + 1;
        }
        return s;
    }
};

TEST(ChordCodes, ConvertBothWaysAcrossTheOctave)
{
    struct Case {
        int key, relative, absolute;
    };
    const Case cases[] = {
        {10, 29, 21},  // F minor in B flat: degree 7 minor -> root 5 minor
        {0, 0, 0},
        {0, 47, 47},
        {2, 40, 0},    // degree 10 over D wraps to C
        {11, 3, 47},   // minor seventh on the tonic of B
        {5, 22, 42},   // degree 5 seventh over F: B flat seventh
        {7, 22, 2},    // degree 5 seventh over G wraps to C
        {-1, 9, 9},    // unknown key counts as C
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " code " << c.relative);
        EXPECT_EQ(ToAbsoluteChord(c.relative, c.key), c.absolute);
        EXPECT_EQ(ToRelativeChord(c.absolute, c.key), c.relative);
    }
    EXPECT_EQ(ToAbsoluteChord(-1, 4), -1);
    EXPECT_EQ(ToRelativeChord(-1, 4), -1);
    for (int key = 0; key < 12; ++key)
        for (int code = 0; code < 48; ++code)
            ASSERT_EQ(ToRelativeChord(ToAbsoluteChord(code, key), key), code) << key << " " << code;
}

TEST_F(Pipeline, SubmitMelodyMarksALeadingRestLongerThanHalfABar)
{
    struct Case {
        int metre, firstPitch, firstLength, bars;
        bool leadingRest;
    };
    const Case cases[] = {
        {0, -128, 385, 4, true},   // 4/4: half a bar is 384 ticks
        {0, -128, 384, 4, false},
        {0, 60, 700, 4, false},
        {0, -128, 700, 1, false},  // a one-bar melody never counts
        {1, -128, 289, 4, true},   // 3/4: half a bar is 288
        {2, -128, 193, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "metre " << c.metre << " length " << c.firstLength);
        test::InstallFakeEngine();
        Fake().pitches = {static_cast<int8_t>(c.firstPitch), 64};
        Fake().lengths = {static_cast<uint16_t>(c.firstLength), 192};
        Fake().melodyBars = c.bars;
        TSongModel s = Song(0, {}, 0, c.metre);
        SubmitMelody(s);
        EXPECT_EQ(s.Flag(kFlagLeadingRest), c.leadingRest);
        EXPECT_EQ(s.melodyBarCount, c.bars);
    }
}

TEST_F(Pipeline, SubmitMelodyWithoutNotesChangesNothing)
{
    TSongModel s = Song(0, {});
    s.SetFlag(kFlagLeadingRest, true);
    SubmitMelody(s);
    EXPECT_TRUE(s.Flag(kFlagLeadingRest));
}

TEST_F(Pipeline, BaseComposeSendsTheSongAndTakesItBack)
{
    TSongModel s = Song(4, {1, 3}, 10);
    s.bars[0].chords = {29, -1};   // whole bar
    s.bars[1].chords = {0, 28};    // two halves
    s.bars[3].chords = {-1, 5};    // no first chord: the bar sends nothing
    s.bars[2].fill = 1;
    ASSERT_TRUE(BaseCompose(s));
    ASSERT_EQ(Fake().sentChords.size(), 3u);
    EXPECT_EQ(Fake().sentChords[0].code, 21);
    EXPECT_EQ(Fake().sentChords[0].wholeBar, 1);
    EXPECT_EQ(Fake().sentChords[1].code, 40);
    EXPECT_EQ(Fake().sentChords[1].wholeBar, 0);
    EXPECT_EQ(Fake().sentChords[2].code, 20);
    EXPECT_EQ(Fake().sentChords[2].wholeBar, 0);
    ASSERT_EQ(Fake().sentSections.size(), 2u);
    EXPECT_EQ(Fake().sentSections[1].lastBar, 3);
    EXPECT_EQ(Fake().sentSections[1].pattern, 1);
    ASSERT_EQ(Fake().sentFills.size(), 1u);
    EXPECT_EQ(Fake().sentFills[0].bar, 2);
    // The echoed records come back into the same bars.
    EXPECT_EQ(s.bars[0].chords[0], 29);
    EXPECT_EQ(s.bars[0].chords[1], -1);
    EXPECT_EQ(s.bars[1].chords[0], 0);
    EXPECT_EQ(s.bars[1].chords[1], 28);
    EXPECT_EQ(s.bars[2].fill, 1);
    EXPECT_EQ(s.stages.size(), 2u);
    EXPECT_TRUE(s.Flag(kFlagBaseAccompaniment));
    ASSERT_FALSE(Fake().volumeCalls.empty());
    EXPECT_EQ(Fake().volumeCalls.back().first, 3);
}

TEST_F(Pipeline, ThreeFourBarsSendOneWholeBarChordEach)
{
    TSongModel s = Song(3, {2}, 0, 1);
    for (auto& bar : s.bars)
        bar.chords = {4, -1};
    ASSERT_TRUE(BaseCompose(s));
    ASSERT_EQ(Fake().sentChords.size(), 3u);
    for (const SM_Chord& c : Fake().sentChords)
        EXPECT_EQ(c.wholeBar, 1);
}

TEST_F(Pipeline, ASongWithoutStagesTakesTheComposersSectionsChordsAndFills)
{
    TSongModel s = Song(5, {}, 2);
    Fake().echoComposerInput = false;
    Fake().returnSections = {{1, 2}, {4, 0}};
    Fake().returnChords = {{8, 1}, {0, 0}, {20, 0}, {44, 1}};
    Fake().returnFills = {{1, 0}, {4, 1}, {9, 1}};  // bar 9 does not exist
    ASSERT_TRUE(BaseCompose(s));
    EXPECT_EQ(Fake().sentSections.size(), 0u) << "no sections: the composer analyses";
    ASSERT_EQ(s.stages.size(), 2u);
    EXPECT_EQ(s.stages[0], (tagMelodyStage{0, 1, 2}));
    EXPECT_EQ(s.stages[1], (tagMelodyStage{2, 4, 0}));
    // D major key: absolute 8 (D) is degree 0; 0 (C) is degree 10; 20 (F) degree 3.
    EXPECT_EQ(s.bars[0].chords, (std::array<int8_t, 2>{0, -1}));
    EXPECT_EQ(s.bars[1].chords, (std::array<int8_t, 2>{40, 12}));
    EXPECT_EQ(s.bars[2].chords, (std::array<int8_t, 2>{36, -1}));
    EXPECT_EQ(s.bars[1].fill, 0);
    EXPECT_EQ(s.bars[4].fill, 1);
}

TEST_F(Pipeline, AFailedBaseComposeLeavesTheSong)
{
    TSongModel s = Song(2, {1}, 0);
    s.bars[0].chords = {4, -1};
    Fake().baseResult = -1;
    Fake().echoComposerInput = false;
    Fake().returnChords = {{8, 1}};
    const TSongModel before = s;
    EXPECT_FALSE(BaseCompose(s));
    EXPECT_EQ(s.bars, before.bars);
    EXPECT_FALSE(s.Flag(kFlagBaseAccompaniment));

    Fake().baseResult = 0;
    Fake().loadBaseResult = -3;
    EXPECT_FALSE(BaseCompose(s));
    EXPECT_FALSE(s.Flag(kFlagBaseAccompaniment)) << "the engine did not take the accompaniment";
}

TEST_F(Pipeline, SegmentLengthsFollowTheStyle)
{
    TSongModel s = Song(4, {3});
    Fake().segmentBars = {{{256, 7}, 2}, {{257, 7}, 4}, {{272, 7}, 3}};
    s.songForm = {{256, 9, -1, -1, {}}};
    EXPECT_TRUE(RefreshSegmentBars(s));
    EXPECT_EQ(s.introBars, (std::array<int32_t, 4>{2, 4, 0, 0}));
    EXPECT_EQ(s.outroBars, (std::array<int32_t, 4>{3, 0, 0, 0}));
    EXPECT_EQ(s.segmentStyleId, 7);
    EXPECT_EQ(s.songForm[0].styleId, 7) << "entries of the old segment style follow";
    EXPECT_FALSE(RefreshSegmentBars(s)) << "same style: nothing to do";

    s.styleId = 99;  // not loadable
    EXPECT_TRUE(RefreshSegmentBars(s));
    EXPECT_EQ(s.introBars[0], 0);
    EXPECT_EQ(s.segmentStyleId, 7);
}

TEST_F(Pipeline, StageLengthsFallBackToTheFirstSegmentOfTheirKind)
{
    TSongModel s = Song(4, {3});
    s.introBars = {2, 0, 5, 0};
    s.outroBars = {3, 0, 0, 0};
    s.songForm = {{256, 9, -1, 7, {}}, {0, 4, 0, 7, {}}, {257, 9, -1, 7, {}}, {258, 5, -1, 7, {}},
                  {273, 1, -1, 7, {}}, {257, 6, -1, 8, {}}};
    EXPECT_TRUE(RefreshStageLengths(s));
    EXPECT_EQ(s.songForm[0].barCount, 2);
    EXPECT_EQ(s.songForm[2].ref, 256);
    EXPECT_EQ(s.songForm[2].barCount, 2);
    EXPECT_EQ(s.songForm[3].barCount, 5);
    EXPECT_EQ(s.songForm[4].ref, 272);
    EXPECT_EQ(s.songForm[4].barCount, 3);
    EXPECT_EQ(s.songForm[5].barCount, 6) << "another style's entry is left";
    EXPECT_FALSE(RefreshStageLengths(s));
}

TEST_F(Pipeline, DefaultSongFormPlaysTheMelodyTwiceBetweenIntroInterludeAndOutro)
{
    TSongModel s = Song(6, {0, 3, 5});
    s.SetFlag(kFlagLeadingRest, true);
    s.bars[2].fill = 1;
    s.bars[5].fill = 0;
    s.introBars = {2, 4, 0, 0};
    s.outroBars = {3, 0, 0, 0};
    BuildDefaultSongForm(s);
    std::vector<int> refs;
    for (const auto& e : s.songForm)
        refs.push_back(e.ref);
    EXPECT_EQ(refs, (std::vector<int>{256, 1, 2, 257, 1, 2, 272})) << "the one-bar pickup stage is skipped";
    EXPECT_EQ(s.songForm[1].barCount, 3);
    EXPECT_EQ(s.songForm[1].fills, (std::vector<int32_t>{MakeFill(1, 1), MakeFill(2, 0)}))
        << "stage fills plus a closing fill on its last bar";
    EXPECT_EQ(s.songForm[2].fills, (std::vector<int32_t>{MakeFill(1, 0)})) << "last bar has a fill already";
    EXPECT_EQ(s.songForm[3].barCount, 4);
    EXPECT_EQ(s.songForm[6].barCount, 3);
    for (const auto& e : s.songForm)
        EXPECT_EQ(e.styleId, 7);

    TSongModel noPickup = Song(6, {0, 3, 5});
    noPickup.introBars = {0, 0, 0, 0};
    BuildDefaultSongForm(noPickup);
    EXPECT_EQ(noPickup.songForm.size(), 6u) << "no intros or outro in the style, stage 0 kept";
    EXPECT_EQ(noPickup.songForm[0].ref, 0);
}

TEST_F(Pipeline, VoiceSegmentsJoinAdjacentStagesAndReachBackForThePickup)
{
    struct Case {
        const char* what;
        bool leadingRest;
        std::vector<std::pair<int, int>> form;  // (ref, bars)
        std::vector<MM_VoiceSegment> expected;
    };
    // Stages: 0 = bar 0, 1 = bars 1..4, 2 = bars 5..8.
    const Case cases[] = {
        {"intro then stages 0 and 1", false, {{256, 2}, {0, 1}, {1, 4}}, {{-1, 2}, {0, 5}}},
        {"pickup before stage 1", true, {{256, 2}, {1, 4}, {2, 4}}, {{-1, 1.5}, {0.5, 8.5}}},
        {"repeat is not adjacent", false, {{1, 4}, {1, 4}}, {{1, 4}, {1, 4}}},
        {"interlude splits", false, {{1, 4}, {257, 2}, {2, 4}, {272, 3}}, {{1, 4}, {-1, 2}, {5, 4}, {-1, 3}}},
        {"pickup needs a silent stretch before", true, {{0, 1}, {1, 4}}, {{0, 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TSongModel s = Song(9, {0, 4, 8});
        s.SetFlag(kFlagLeadingRest, c.leadingRest);
        for (auto [ref, bars] : c.form)
            s.songForm.push_back({ref, bars, 0, 7, {}});
        const auto segments = BuildVoiceSegments(s);
        ASSERT_EQ(segments.size(), c.expected.size());
        for (size_t i = 0; i < segments.size(); ++i) {
            EXPECT_DOUBLE_EQ(segments[i].sourceStart, c.expected[i].sourceStart) << i;
            EXPECT_DOUBLE_EQ(segments[i].length, c.expected[i].length) << i;
        }
    }
}

TEST_F(Pipeline, ComposeSendsTheFormWithAbsoluteFillBarsAndCombinesTheVoice)
{
    TSongModel s = Song(4, {1, 3}, 10);
    s.bars[0].chords = {29, -1};
    s.songForm = {{256, 2, -1, 7, {}}, {0, 2, 1, 7, {MakeFill(1, 0)}}, {1, 2, 2, 8, {MakeFill(0, 1)}}};
    s.projectLoadValue = 1;
    ASSERT_TRUE(Compose(s, -1, true));
    EXPECT_EQ(Fake().composeKey, 10);
    ASSERT_EQ(Fake().sentStages.size(), 3u);
    EXPECT_EQ(Fake().sentStages[2].ref, 1);
    EXPECT_EQ(Fake().sentStages[2].pattern, 2);
    EXPECT_EQ(Fake().sentStyles, (std::vector<int32_t>{7, 7, 8}));
    ASSERT_EQ(Fake().sentFills.size(), 2u);
    EXPECT_EQ(Fake().sentFills[0].bar, 3);
    EXPECT_EQ(Fake().sentFills[1].bar, 4);
    EXPECT_EQ(Fake().sentFills[1].variant, 1);
    EXPECT_EQ(Fake().sentChords.at(0).code, 21);
    ASSERT_EQ(Fake().segments.size(), 2u);
    EXPECT_DOUBLE_EQ(Fake().segments[1].length, 4);
    EXPECT_EQ(Fake().combineValueSeen, 1) << "the value from opening the project goes back to the engine";
    EXPECT_TRUE(s.Flag(kFlagComposed));
    EXPECT_TRUE(s.Flag(kFlagVoiceCombined));

    // Transposed: the chords follow the key given.
    test::InstallFakeEngine();
    ASSERT_TRUE(Compose(s, 0, false));
    EXPECT_EQ(Fake().composeKey, 0);
    EXPECT_EQ(Fake().sentChords.at(0).code, 29);
    EXPECT_TRUE(Fake().segments.empty());
}

TEST_F(Pipeline, ComposeReportsTheLastEngineCall)
{
    struct Case {
        int compose, load, combine;
        bool combineVoice, ok, composed, combined;
    };
    const Case cases[] = {
        {-2, 0, 0, true, false, false, false},
        {0, -1, 0, true, true, false, true},   // the combine ran last and succeeded
        {0, 0, -1, true, false, true, false},
        {0, 1, 0, false, false, true, false},  // a positive load is kept but is no success
    };
    for (const Case& c : cases) {
        test::InstallFakeEngine();
        Fake().composeResult = c.compose;
        Fake().loadComposeResult = c.load;
        Fake().combineResult = c.combine;
        TSongModel s = Song(2, {1});
        s.songForm = {{0, 2, 0, 7, {}}};
        EXPECT_EQ(Compose(s, 0, c.combineVoice), c.ok);
        EXPECT_EQ(s.Flag(kFlagComposed), c.composed);
        EXPECT_EQ(s.Flag(kFlagVoiceCombined), c.combined);
    }
}

TEST_F(Pipeline, ResetEffectsTurnsPresetsToTheirStartStates)
{
    TSongModel s;
    s.effectStates = {1, 0, 3, 0, 2, 0, 0, 0, 1, 2, 1};
    ResetEffects(s);
    EXPECT_EQ(s.effectStates, (std::array<int32_t, 11>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(s.saved.effectStates, (std::array<int32_t, 11>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}))
        << "only the presets it changed reach the saved copy";
    const std::vector<std::pair<int, int>> calls = {{0, 0}, {2, 0}, {3, 2}, {4, 0}, {8, 0}, {256, 0}};
    EXPECT_EQ(Fake().fxCalls, calls);

    s.effectStates[10] = 2;
    Fake().fxCalls.clear();
    ResetEffects(s);
    EXPECT_EQ(s.effectStates[10], 0);
    EXPECT_EQ(Fake().fxCalls, (std::vector<std::pair<int, int>>{{257, 0}}));
}

TEST(StageText, LettersCountInBaseTwentySix)
{
    const std::pair<int, const char*> cases[] = {{0, "A"}, {1, "B"}, {25, "Z"}, {26, "BA"}, {27, "BB"}, {52, "CA"}, {676, "BAA"}};
    for (auto [index, text] : cases)
        EXPECT_EQ(StageLetter(index), text) << index;
}

TEST_F(Pipeline, CaptionsNameStagesAndSongFormEntries)
{
    TSongModel s = Song(4, {1, 3});
    s.stages[1].pattern = 2;
    s.songForm = {{257, 4, -1, 7, {}}, {1, 2, 3, 8, {}}, {256, 2, -1, 7, {}}, {273, 2, -1, 7, {}}};
    EXPECT_EQ(StageCaption(s, 1, CaptionKind::MelodyStage), "旋律B段 (伴奏型3)");
    EXPECT_EQ(StageCaption(s, 0, CaptionKind::SongFormEntry), "前奏 (类型 2)\n风格：Style7");
    EXPECT_EQ(StageCaption(s, 1, CaptionKind::SongFormEntry), "旋律B段 (伴奏型4)\n风格：Style8");
    EXPECT_EQ(StageCaption(s, 2, CaptionKind::SongFormEntry), "间奏 (类型 1)\n风格：Style7");
    EXPECT_EQ(StageCaption(s, 3, CaptionKind::SongFormEntry), "尾奏 (类型 2)\n风格：Style7");
    EXPECT_EQ(StageCaption(s, 9, CaptionKind::SongFormEntry), "");
}

} // namespace
} // namespace melodrift
