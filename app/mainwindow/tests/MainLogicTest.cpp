#include <gtest/gtest.h>

#include "MainLogic.h"
#include "SongModel.h"

using namespace melodrift;

TEST(MainLogic, ProposedNamesFollowMetreAndTempo)
{
    struct Case { int metre, tempo; const char* want; };
    const Case cases[] = {{0, 75, "Untitle-44-75"}, {1, 120, "Untitle-43-120"}, {2, 50, "Untitle-42-50"},
                          {3, 200, "Untitle-86-200"}};
    for (const Case& c : cases)
        EXPECT_EQ(ProposedFileName(c.metre, c.tempo), QString::fromUtf8(c.want));
    EXPECT_EQ(CaptionFor(""), QStringLiteral("Melodrift - Untitle"));
    EXPECT_EQ(CaptionFor("/home/a/歌/晚风.cpj"), QStringLiteral("Melodrift - 晚风.cpj"));
}

TEST(MainLogic, StepMaskNeedsAMelodyForLaterStepsAndDrivesTheMenu)
{
    struct Case { uint32_t mask; bool melody, firstEnabled; std::array<bool, 5> steps; bool menuChanges, menu; };
    const Case cases[] = {
        {0x1F, false, true, {true, true, false, false, false}, false, false},
        {0x1F, true, true, {true, true, true, true, true}, false, false},
        {0x1E, true, true, {false, true, true, true, true}, true, false},   // recording: menu off
        {0x1F, true, false, {true, true, true, true, true}, true, true},    // and back on
        {0x04, true, true, {false, false, true, false, false}, true, false},
    };
    for (const Case& c : cases) {
        const StepEnabling e = ApplyStepMask(c.mask, c.melody, c.firstEnabled);
        EXPECT_EQ(e.steps, c.steps) << c.mask;
        EXPECT_EQ(e.menuChanges, c.menuChanges) << c.mask;
        if (c.menuChanges) {
            EXPECT_EQ(e.menuEnabled, c.menu) << c.mask;
        }
    }
}

TEST(MainLogic, PageAfterOpenFallsBackToWhatTheSongHas)
{
    struct Case { int openStep, current, bars, stages; bool base; int page; bool needsBase; };
    const Case cases[] = {
        {3, 1, 4, 2, true, 3, false},
        {-1, 4, 4, 2, true, 4, false},     // no stored step: stay
        {4, 1, 0, 0, false, 1, false},     // no bars
        {4, 1, 4, 0, false, 2, false},     // no stages
        {2, 1, 4, 2, false, 2, true},      // stages without base accompaniment
        {0, 3, 0, 0, false, 0, false},
    };
    for (const Case& c : cases) {
        TSongModel song;
        song.openStep = c.openStep;
        for (int i = 0; i < c.bars; ++i)
            song.AddBar();
        song.stages.resize(c.stages);
        song.SetFlag(kFlagBaseAccompaniment, c.base);
        const OpenedPage p = PageAfterOpen(song, c.current);
        EXPECT_EQ(p.page, c.page) << c.openStep << "/" << c.bars << "/" << c.stages;
        EXPECT_EQ(p.needsBase, c.needsBase) << c.openStep << "/" << c.bars << "/" << c.stages;
    }
}

TEST(MainLogic, AskToSaveOnlyForUnsavedBars)
{
    TSongModel song;
    EXPECT_FALSE(NeedsSaveQuestion(song));
    song.AddBar();
    EXPECT_TRUE(NeedsSaveQuestion(song));        // never saved
    song.projectPath = "/tmp/a.cpj";
    song.TakeSavedCopy();
    EXPECT_FALSE(NeedsSaveQuestion(song));
    song.key = 4;
    EXPECT_TRUE(NeedsSaveQuestion(song));
}

TEST(MainLogic, ServiceErrorsNameTheirReason)
{
    struct Case { int code; const char* want; };
    const Case cases[] = {
        {32769, "登录失败!\n网络故障，请关闭程序后重试。"},
        {32773, "登录失败!\n输入密码错，请重新输入。"},
        {32781, "登录失败!\n文件传输失败。"},
        {32787, "登录失败!\n文件操作错误。"},
        {32772, "登录失败!\n"},
        {0, "登录失败!\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ServiceErrorText(QStringLiteral("登录失败!"), c.code), QString::fromUtf8(c.want)) << c.code;
}

TEST(MainLogic, HintsAndSizes)
{
    EXPECT_EQ(NoticeHintAtStart(3), QStringLiteral("有3条网站最新公告"));
    EXPECT_EQ(NoticeHintLoggedIn(3, 2), QStringLiteral("有 3 条网站最新公告\n和 2 条个人空间消息"));
    EXPECT_EQ(NoticeHintLoggedIn(3, 0), QStringLiteral("有 3 条网站最新公告"));
    EXPECT_EQ(NoticeHintLoggedIn(0, 2), QStringLiteral("有 2 条个人空间消息"));
    EXPECT_EQ(NoticeHintLoggedOff(4), QStringLiteral("有 4 条网站最新公告"));
    EXPECT_EQ(UserInfoHint(1, 2, 3, 4), QStringLiteral("音符数：1\n魅力值：2\n粉丝数：3\n歌曲数：4"));
    EXPECT_EQ(QrModuleSize(100, 21), 4);
    EXPECT_EQ(QrModuleSize(100, 25), 3);
    EXPECT_EQ(QrModuleSize(100, 0), 0);
    EXPECT_EQ(RecordVolumeParam(0.5f), 50);
    EXPECT_EQ(RecordVolumeParam(0.996f), 100);
    EXPECT_EQ(RecordVolumeParam(0.0f), 0);
}

TEST(MainLogic, StepBarLeavesAndChanges)
{
    for (int page : {0, 1, 4, 5})
        EXPECT_TRUE(StepClickLeavesByStepBar(page)) << page;
    for (int page : {2, 3})
        EXPECT_FALSE(StepClickLeavesByStepBar(page)) << page;
    EXPECT_TRUE(StepMayChange(false, kHelpPage));
    EXPECT_FALSE(StepMayChange(false, 2));
    EXPECT_TRUE(StepMayChange(true, 2));
}
