#include <QLabel>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "AppSession.h"
#include "FakeEngine.h"
#include "Screenshot.h"
#include "TPNGButton.h"
#include "TProgressForm.h"

using namespace melodrift;

namespace {

// What the scripted operations do: post a list of reports, then either end
// or wait until they are cancelled.
struct Script {
    std::vector<test::PostedMessage> reports;   // window filled in by the fake
    bool waitForCancel = false;
    int32_t value = 0;                           // what the call returns
    std::atomic<bool> cancelled{false};
    std::atomic<int> cancelCalls{0};
    int32_t tracksSeen = -1;
};
Script* g_script = nullptr;

int32_t Play(MDP_Window window)
{
    for (const auto& m : g_script->reports)
        MDP_PostMessage(window, m.message, m.wParam, m.lParam);
    if (g_script->waitForCancel)
        while (!g_script->cancelled)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return g_script->value;
}

int32_t FakeSave(MDP_Window window, int32_t tracks, const char*, int32_t, int32_t*)
{
    g_script->tracksSeen = tracks;
    return Play(window);
}

int32_t FakeCancel()
{
    ++g_script->cancelCalls;
    g_script->cancelled = true;
    return 0;
}

int32_t FakeLogin(CS_UserRecord*, int32_t)
{
    Play(nullptr);
    return g_script->value;
}

class ProgressFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::InstallFakeEngine();
        Engines().mm.MM_Save = FakeSave;
        Engines().mm.MM_CancelSave = FakeCancel;
        Engines().cs.CS_Login = FakeLogin;
        Engines().cs.CS_CancelOperation = FakeCancel;
        g_script = &m_script;
    }
    void TearDown() override { g_script = nullptr; }

    AppSession m_session;
    Script m_script;
};

TEST(ProgressLogicTest, EachOperationHasItsCaptionCloseButtonAndAnimation)
{
    struct Case {
        int code, tracks;
        bool block;
        const char* caption;
        bool close, animation;
        int tracksRun;
    };
    const Case cases[] = {
        {kOpExport, 2, false, "正在保存", true, false, 2},
        {kOpExport, 0, false, "正在生成歌曲", true, false, 3},
        {kOpOpenProject, 0, false, "正在打开", false, false, 0},
        {kOpSaveProject, 0, false, "正在保存", false, false, 0},
        {kOpLogin, 0, false, "正在登录", true, true, 0},
        {kOpSubmitQuestion, 0, false, "正在提交", true, true, 0},
        {kOpRegister, 0, false, "正在注册", true, true, 0},
        {kOpUpload, 0, true, "正在上传", true, false, 0},
        {kOpUpload, 0, false, "正在验证上传许可", true, true, 0},
    };
    for (const Case& c : cases) {
        const ProgressSetup s = ProgressSetupFor(c.code, c.tracks, c.block);
        EXPECT_EQ(s.caption, QString::fromUtf8(c.caption)) << c.code;
        EXPECT_EQ(s.closeButton, c.close) << c.code;
        EXPECT_EQ(s.animation, c.animation) << c.code;
        if (c.code == kOpExport) {
            EXPECT_EQ(s.trackBits, c.tracksRun);
        }
    }
}

TEST(ProgressLogicTest, RangeStepAndAnimationMoveTheBoundary)
{
    struct Case {
        const char* name;
        std::vector<std::pair<char, std::pair<int, int>>> reports;   // 'r' range, 's' step, 'p' set, 't' tick
        int position, rangeEnd;
    };
    const Case cases[] = {
        {"step in a range", {{'r', {20, 60}}, {'s', {50, 0}}}, 100, 150},
        {"range end 0 is the whole bar", {{'r', {40, 0}}, {'s', {100, 0}}}, 250, 250},
        {"plain steps", {{'s', {33, 0}}}, 82, 250},
        {"animation wraps", {{'p', {240, 0}}, {'t', {0, 0}}}, 10, 250},
        {"animation below the end", {{'p', {100, 0}}, {'t', {0, 0}}}, 120, 250},
        {"out-of-range reports stay on the bar", {{'r', {-10, 400}}, {'s', {250, 0}}}, 250, 250},
    };
    for (const Case& c : cases) {
        ProgressBarState bar;
        for (const auto& [kind, args] : c.reports) {
            if (kind == 'r')
                bar.Range(args.first, args.second);
            else if (kind == 's')
                bar.Step(args.first);
            else if (kind == 'p')
                bar.SetPosition(args.first);
            else
                bar.Tick();
        }
        EXPECT_EQ(bar.Position(), c.position) << c.name;
        EXPECT_EQ(bar.RangeEnd(), c.rangeEnd) << c.name;
    }
}

TEST_F(ProgressFormTest, OperationsEndFailOrAreCancelled)
{
    struct Case {
        const char* name;
        int code;
        std::vector<test::PostedMessage> reports;
        bool waitForCancel;
        bool clickClose;
        int32_t value;
        int result;            // the dialog's
        int cancelCalls;
        int position;
    };
    const Case cases[] = {
        {"export reports and ends", kOpExport,
         {{nullptr, UM_PROGRESS_RANGE, 20, 60}, {nullptr, UM_PROGRESS_STEP, 50, 0}, {nullptr, UM_PROGRESS_DONE, 0, 0}},
         false, false, 0, 1, 0, 100},
        {"export fails with the engine's code", kOpExport,
         {{nullptr, UM_PROGRESS_STEP, 10, 0}, {nullptr, UM_PROGRESS_FAILED, static_cast<intptr_t>(MM_ERR_IO), 0}},
         false, false, MM_ERR_IO, MM_ERR_IO, 0, 25},
        {"a failure code of 1 is not success", kOpExport, {{nullptr, UM_PROGRESS_FAILED, 1, 0}},
         false, false, 1, -1, 0, 0},
        {"export cancelled by the close button", kOpExport, {{nullptr, UM_PROGRESS_STEP, 4, 0}},
         true, true, MM_ERR_CANCELLED, 2, 1, 10},
        {"login ends with the service's answer", kOpLogin, {}, false, false, 32773, 1, 0, -1},
        {"login cancelled", kOpLogin, {}, true, true, 32777, 2, 1, -1},
    };
    for (const Case& c : cases) {
        m_script.reports = c.reports;
        m_script.waitForCancel = c.waitForCancel;
        m_script.value = c.value;
        m_script.cancelled = false;
        m_script.cancelCalls = 0;
        TProgressForm form(m_session);
        bool closeShown = false;
        form.onShown = [&](TProgressForm& f) {
            closeShown = !f.m_btnClose->isHidden();
            if (c.clickClose)
                QTimer::singleShot(20, &f, [&f] { QTest::mouseClick(f.m_btnClose, Qt::LeftButton); });
        };
        int result = 0;
        if (c.code == kOpExport) {
            result = form.RunExport(2, QStringLiteral("/tmp/x.mp3"), 0);
            EXPECT_EQ(m_script.tracksSeen, 2) << c.name;
        } else {
            result = form.RunLogin();
            // Online operations end through the worker's own report.
            EXPECT_EQ(form.ResultCode(), c.value) << c.name;
        }
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_TRUE(closeShown) << c.name;
        EXPECT_EQ(m_script.cancelCalls.load(), c.cancelCalls) << c.name;
        EXPECT_EQ(form.WorkerResult(), c.value) << c.name;
        if (c.position >= 0) {
            EXPECT_EQ(form.Bar().Position(), c.position) << c.name;
        }
        EXPECT_FALSE(form.Animating()) << c.name;
    }
}

TEST_F(ProgressFormTest, EscapeCancelsOnlyWhereTheCloseButtonShows)
{
    struct Case {
        int code;
        bool closes;
        int cancelCalls;
    };
    for (const Case c : {Case{kOpOpenProject, false, 0}, Case{kOpSaveProject, false, 0}, Case{kOpExport, true, 1},
                         Case{kOpRegister, true, 1}}) {
        m_script.cancelCalls = 0;
        TProgressForm form(m_session);
        form.Prepare(c.code);
        form.show();
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_EQ(form.isVisible(), !c.closes) << c.code;
        EXPECT_EQ(form.result(), c.closes ? 2 : 0) << c.code;
        EXPECT_EQ(m_script.cancelCalls.load(), c.cancelCalls) << c.code;
    }
}

TEST_F(ProgressFormTest, TheAnimationSweepsWhileAnOnlineOperationWaits)
{
    m_script.waitForCancel = true;
    m_script.value = 32777;
    TProgressForm form(m_session);
    std::vector<int> seen;
    form.onShown = [&](TProgressForm& f) {
        EXPECT_TRUE(f.Animating());
        QTimer::singleShot(700, &f, [&] {
            seen.push_back(f.Bar().Position());
            ASSERT_TRUE(test::SaveScreenshot(f, QStringLiteral("progress-login")));
            f.CloseClick();
        });
    };
    EXPECT_EQ(form.RunLogin(), 2);
    ASSERT_EQ(seen.size(), 1u);
    // Three ticks or so in 700 ms, 20 pixels each.
    EXPECT_GE(seen[0], 40);
    EXPECT_EQ(seen[0] % 20, 0);
}

TEST_F(ProgressFormTest, PicturesOfAnExportHalfWayAndAProjectOpen)
{
    TProgressForm exporting(m_session);
    exporting.Prepare(kOpExport, 3);
    exporting.Bar().Range(0, 0);
    exporting.Bar().Step(45);
    exporting.show();
    EXPECT_TRUE(test::SaveScreenshot(exporting, QStringLiteral("progress-export")));
    // The caption fits its box.
    EXPECT_GE(exporting.m_lblCaption->width(),
              exporting.m_lblCaption->fontMetrics().horizontalAdvance(exporting.m_lblCaption->text()));

    TProgressForm upload(m_session);
    upload.Prepare(kOpUpload, 0, false);
    upload.show();
    EXPECT_GE(upload.m_lblCaption->width(),
              upload.m_lblCaption->fontMetrics().horizontalAdvance(upload.m_lblCaption->text()));
    EXPECT_TRUE(test::SaveScreenshot(upload, QStringLiteral("progress-upload-check")));
}

} // namespace
