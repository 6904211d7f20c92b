// The song-form and complete pages in the window with the scripted engine:
// leaving with pending changes, a failing compose, recording errors.

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "FakeEngine.h"
#include "RegisterScreens.h"
#include "ScreenRegistry.h"
#include "SettingsStore.h"
#include "TComposeForm.h"
#include "TCompleteForm.h"
#include "TMainForm.h"
#include "MessageScript.h"
#include "TMessageForm.h"
#include "TPNGButton.h"

using namespace melodrift;

namespace {

int32_t g_recordResult = 0;
int32_t FakeRecord(MDP_Window, double, double, double, int32_t) { return g_recordResult; }
int32_t FakePlay(MDP_Window, double, int32_t) { return 0; }
int32_t FakeStop() { return 0; }
int32_t FakeLevel(int32_t) { return 0; }

class FinishScreensTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        test::InstallFakeEngine();
        auto& mm = Engines().mm;
        mm.MM_Record = FakeRecord;
        mm.MM_Play = FakePlay;
        mm.MM_Stop = FakeStop;
        mm.MM_GetStreamVolume = FakeLevel;
        test::Fake().segmentBars = {{{kIntroRef, 7}, 2}, {{kIntroRef + 1, 7}, 4}, {{kOutroRef, 7}, 2}};
        RegisterFinishScreens();
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")).toStdString());
        TSongModel& song = m_session.song;
        song.styleId = 7;
        song.key = 0;
        for (int i = 0; i < 8; ++i)
            song.AddBar();
        song.stages = {{0, 3, 0}, {4, 7, 1}};
        song.SetFlag(kFlagMelody, true);
        song.SetFlag(kFlagBaseAccompaniment, true);
        MakeForm();
    }

    void MakeForm()
    {
        m_form.reset();
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->SetMessageHandler(UM_MIC_SETUP, [this](intptr_t, intptr_t) -> intptr_t {
            ++m_micSetups;
            return 1;
        });
    }

    void TearDown() override
    {
        m_form.reset();
        ClearScreenRegistry();
        unsetenv("MELODRIFT_HOME");
        g_recordResult = 0;
    }

    TComposeForm* EnterCompose()
    {
        m_form->ShowPage(3);
        return dynamic_cast<TComposeForm*>(m_form->Page(3));
    }

    QTemporaryDir m_dir;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    test::MessageScript m_messages;
    QStringList& m_shown = m_messages.shown;
    std::deque<int>& m_replies = m_messages.replies;
    int m_micSetups = 0;
};

TEST_F(FinishScreensTest, EnteringTheSongFormBuildsAndComposesTheDefaultForm)
{
    TComposeForm* compose = EnterCompose();
    ASSERT_NE(compose, nullptr);
    const TSongModel& song = m_session.song;
    // i1 A B i2 A B o1
    ASSERT_EQ(song.songForm.size(), 7u);
    EXPECT_EQ(song.songForm.front().ref, kIntroRef);
    EXPECT_EQ(song.songForm.back().ref, kOutroRef);
    EXPECT_TRUE(song.Flag(kFlagComposed));
    EXPECT_EQ(compose->m_lbCompose->count(), 7);
    EXPECT_EQ(compose->m_lbResource->count(), 5);
    EXPECT_FALSE(compose->m_btnReload->Enabled()) << "nothing pending after composing";
}

TEST_F(FinishScreensTest, LeavingWithPendingChangesAsksAndEmptyFormsStay)
{
    struct Case {
        const char* name;
        bool empty;          // remove every stage, else only the first
        int answer;
        bool leaves;
        size_t stagesAfter;
        bool composedAfter;
        const char* extra;   // a further message
    };
    const Case cases[] = {
        {"yes keeps the edit and composes on the next page", false, kResultYes, true, 6, false, ""},
        // The restored form is composed again on the next page.
        {"no restores the form", false, kResultNo, true, 7, false, ""},
        {"cancel stays", false, kResultCancel, false, 6, true, ""},
        {"an empty form cannot be kept", true, kResultYes, false, 0, true, "曲式结构不能为空!"},
        {"an empty form can be undone", true, kResultNo, true, 7, false, ""},
    };
    for (const Case& c : cases) {
        m_session.song.songForm.clear();
        m_session.song.SetFlag(kFlagComposed, false);
        MakeForm();
        TComposeForm* compose = EnterCompose();
        ASSERT_NE(compose, nullptr);
        if (c.empty)
            while (!m_session.song.songForm.empty())
                compose->RemoveStage(0);
        else
            compose->RemoveStage(0);
        // Compose needs stages: an emptied form has nothing to compose.
        EXPECT_EQ(compose->m_btnReload->Enabled(), !c.empty) << c.name;
        m_shown.clear();
        m_replies = {c.answer};
        m_session.song.SetFlag(kFlagLeftByStepBar, false);
        compose->LeaveStep(0);
        EXPECT_EQ(m_session.song.Flag(kFlagLeftByStepBar), c.leaves) << c.name;
        EXPECT_EQ(m_session.song.songForm.size(), c.stagesAfter) << c.name;
        EXPECT_EQ(m_session.song.Flag(kFlagComposed), c.composedAfter) << c.name;
        ASSERT_GE(m_shown.size(), 1) << c.name;
        EXPECT_EQ(m_shown[0], QStringLiteral("确定对曲式结构所做修改吗？")) << c.name;
        EXPECT_EQ(m_shown.value(1), QString::fromUtf8(c.extra)) << c.name;
    }
}

TEST_F(FinishScreensTest, AFailingComposeSaysSoAndKeepsTheButton)
{
    TComposeForm* compose = EnterCompose();
    ASSERT_NE(compose, nullptr);
    m_session.song.SetFlag(kFlagExported, true);
    compose->MoveDownClick();            // nothing selected: nothing moves
    compose->SelectStage(1);
    compose->MoveDownClick();
    ASSERT_TRUE(compose->m_btnReload->Enabled());
    test::Fake().composeResult = -1;
    m_shown.clear();
    EXPECT_FALSE(compose->GenerateClick());
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("自动编曲失败！")});
    EXPECT_TRUE(compose->m_btnReload->Enabled());
    EXPECT_FALSE(m_session.song.Flag(kFlagExported)) << "the exported file no longer matches";
    test::Fake().composeResult = 0;
    EXPECT_TRUE(compose->GenerateClick());
    EXPECT_FALSE(compose->m_btnReload->Enabled());
}

TEST_F(FinishScreensTest, AStageWithItsOwnStyleGoesBackToTheSongsStyle)
{
    TComposeForm* compose = EnterCompose();
    ASSERT_NE(compose, nullptr);
    TSongModel& song = m_session.song;
    song.songForm[1].styleId = 8;
    compose->SetStagePattern(1, 3);
    EXPECT_TRUE(compose->m_btnReload->Enabled());
    EXPECT_EQ(compose->m_lbCompose->item(1)->text(), QStringLiteral("A段 (伴奏型4)"));
    test::Fake().sentStyles.clear();
    compose->StageStyle(1, true);
    EXPECT_EQ(song.songForm[1].styleId, 7);
    EXPECT_EQ(song.songForm[1].pattern, 3) << "the pattern stays";
    ASSERT_EQ(test::Fake().sentStyles.size(), song.songForm.size()) << "composed with the stage's style";
    EXPECT_EQ(test::Fake().sentStyles[1], 7);
    EXPECT_FALSE(compose->m_btnReload->Enabled());
}

TEST_F(FinishScreensTest, RecordingErrorsShowTheirMessageAndDeviceErrorsOpenTheSettings)
{
    EnterCompose();
    m_form->ShowPage(4);
    auto* complete = dynamic_cast<TCompleteForm*>(m_form->Page(4));
    ASSERT_NE(complete, nullptr);
    struct Case {
        int code;
        const char* text;
        int setups;
    };
    for (const Case c : {Case{46, "指定设备正被其它程序占用。", 1}, Case{1, "内存空间不足。", 0}}) {
        g_recordResult = c.code;
        m_micSetups = 0;
        m_shown.clear();
        m_session.app.recordDeviceName = "usb";
        complete->RecordClick();
        QCoreApplication::processEvents();
        EXPECT_FALSE(complete->IsRecording());
        EXPECT_EQ(m_shown, QStringList{QString::fromUtf8(c.text)});
        EXPECT_EQ(m_micSetups, c.setups) << c.code;
        EXPECT_EQ(m_session.app.recordDeviceName.empty(), c.setups == 1) << c.code;
    }
    g_recordResult = 0;
    complete->RecordClick();
    EXPECT_TRUE(complete->IsRecording());
    EXPECT_FALSE(complete->m_btnSave->Enabled());
    EXPECT_FALSE(complete->m_btnPrevStep->Enabled());
    complete->StopClick();
    EXPECT_TRUE(complete->m_btnSave->Enabled());
}

} // namespace
