#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QApplication>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "FakeEngine.h"
#include "MainLogic.h"
#include "ProjectFile.h"
#include "SettingsStore.h"
#include "TLoginArea.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TScreenPage.h"

using namespace melodrift;

namespace {

struct Shown {
    QString text;
    int flags;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        test::InstallFakeEngine();
        InstallMessageDispatcher();
        TMessageForm::SetScript([this](const QString& text, int flags) {
            m_shown.push_back({text, flags});
            if (m_replies.empty())
                return static_cast<int>(kResultOk);
            const int reply = m_replies.front();
            m_replies.pop_front();
            return reply;
        });
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")).toStdString());
        MakeForm();
    }

    void TearDown() override
    {
        m_form.reset();
        TMessageForm::SetScript({});
        unsetenv("MELODRIFT_HOME");
    }

    void MakeForm()
    {
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->show();
        m_form->HandleMessage(UM_NEW_PROJECT, 0, 0);
        Settle();
    }

    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    // A song with a melody that the fake composer knows how to open again.
    void SingSomething()
    {
        TSongModel& song = m_session.song;
        song.styleId = 7;
        for (int i = 0; i < 4; ++i)
            song.AddBar();
        song.SetFlag(kFlagMelody, true);
        test::Fake().streamLength[2] = 5000;   // the engine holds the sung take
    }

    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir m_dir;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    std::vector<Shown> m_shown;
    std::deque<int> m_replies;
};

} // namespace

TEST_F(MainFormTest, FrameStartsOnTheRecordingPageOfANewSong)
{
    EXPECT_EQ(m_form->size(), QSize(TMainForm::kWidth, TMainForm::kHeight));
    EXPECT_EQ(m_form->CurrentPage(), 1);
    EXPECT_EQ(m_form->m_pPgCtrl_Work->count(), 6);
    EXPECT_EQ(m_form->m_pPgCtrl_Work->geometry(), QRect(0, 90, 810, 500));
    EXPECT_EQ(m_form->m_labCaption->text(), QStringLiteral("Melodrift - Untitle"));
    EXPECT_TRUE(m_form->m_btnSteps[1]->Down());
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(m_form->m_btnSteps[i]->Enabled()) << i;
    EXPECT_FALSE(m_form->MenuAction(TMainForm::kItemSave)->isEnabled());
    EXPECT_FALSE(m_form->MenuAction(TMainForm::kItemRecent)->isEnabled());
    // Window buttons from the right edge, 22 pixels apart.
    EXPECT_EQ(m_form->m_btnCloseBox->x(), 810 - 28);
    EXPECT_EQ(m_form->m_btnMaxBox->x(), 810 - 50);
    EXPECT_EQ(m_form->m_btnHelpBox->x(), 810 - 94);

    // Written for a person to look at.
    const QImage shot = m_form->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(810, 590));
    EXPECT_TRUE(shot.save(QStringLiteral("melodrift-mainwindow.png")));
    EXPECT_NE(shot.pixel(400, 10), shot.pixel(400, 300)) << "band and page look alike";
}

TEST_F(MainFormTest, StepsNeedAMelodyAndTheStepBarMovesBetweenPages)
{
    m_form->HandleMessage(UM_STEP_ENABLE, 0x1F, 0);
    EXPECT_TRUE(m_form->m_btnSteps[1]->Enabled());
    EXPECT_FALSE(m_form->m_btnSteps[3]->Enabled());
    m_session.song.SetFlag(kFlagMelody, true);
    m_form->HandleMessage(UM_STEP_ENABLE, 0x1E, 0);   // a recording starts
    EXPECT_TRUE(m_form->m_btnSteps[3]->Enabled());
    EXPECT_FALSE(m_form->m_btnSteps[0]->Enabled());
    EXPECT_FALSE(m_form->MenuAction(TMainForm::kItemNew)->isEnabled());
    m_form->HandleMessage(UM_STEP_ENABLE, 0x1F, 0);
    EXPECT_TRUE(m_form->MenuAction(TMainForm::kItemNew)->isEnabled());

    auto* recording = static_cast<TPlaceholderPage*>(m_form->Page(1));
    const int leaves = recording->LeaveCount();
    m_form->StepClick(1);   // the current page: nothing
    Settle();
    EXPECT_EQ(recording->LeaveCount(), leaves);
    m_form->StepClick(3);
    Settle();
    EXPECT_EQ(m_form->CurrentPage(), 3);
    EXPECT_EQ(recording->LeaveCount(), leaves + 1);
    EXPECT_TRUE(m_form->m_btnSteps[3]->Down());
    EXPECT_FALSE(m_form->m_btnSteps[1]->Down());

    m_form->HelpCommand();
    Settle();
    EXPECT_EQ(m_form->CurrentPage(), kHelpPage);
    EXPECT_EQ(static_cast<TPlaceholderPage*>(m_form->Page(kHelpPage))->openedFrom, 3);
}

TEST_F(MainFormTest, TitleBandDoubleClickMaximisesExceptOnTheSetupPage)
{
    m_form->ShowPage(0);
    QTest::mouseDClick(m_form.get(), Qt::LeftButton, {}, QPoint(400, 10));
    EXPECT_FALSE(m_form->isMaximized());
    EXPECT_FALSE(m_form->m_btnMaxBox->Enabled());
    m_form->ShowPage(1);
    QTest::mouseDClick(m_form.get(), Qt::LeftButton, {}, QPoint(100, 10));   // left of the band
    EXPECT_FALSE(m_form->isMaximized());
    QTest::mouseDClick(m_form.get(), Qt::LeftButton, {}, QPoint(400, 10));
    EXPECT_TRUE(m_form->isMaximized());
    EXPECT_EQ(m_session.app.windowState, 2);
    m_form->ShowPage(0);   // the setup screen has one size
    EXPECT_FALSE(m_form->isMaximized());
}

TEST_F(MainFormTest, SaveProposesTheUntitledNameThenOpensAgainFromRecent)
{
    SingSomething();
    m_session.song.tempo = 75;
    QString proposed;
    const QString file = Path("first");
    m_form->chooseSavePath = [&](const QString& start) {
        proposed = start;
        return file;
    };
    QTest::keyClick(m_form.get(), Qt::Key_F3);   // disabled for a new song
    EXPECT_TRUE(proposed.isEmpty());
    m_form->SaveProjectCommand(false);
    EXPECT_EQ(proposed, QStringLiteral("Untitle-44-75.cpj"));
    ASSERT_FALSE(m_shown.empty());
    EXPECT_EQ(m_shown.back().text, QStringLiteral("工程文件保存成功。"));
    EXPECT_EQ(m_shown.back().flags, 64);
    const std::string saved = (file + QStringLiteral(".cpj")).toStdString();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(saved)));
    EXPECT_EQ(m_session.song.projectPath, saved);
    ASSERT_FALSE(m_session.app.recentProjects.empty());
    EXPECT_EQ(m_session.app.recentProjects.front(), saved);
    EXPECT_EQ(m_form->m_labCaption->text(), QStringLiteral("Melodrift - first.cpj"));
    EXPECT_TRUE(m_form->MenuAction(TMainForm::kItemSaveAs)->isEnabled());
    ASSERT_EQ(m_form->RecentMenu()->actions().size(), 1);

    // A change, then New: Cancel keeps everything, No starts afresh.
    m_session.song.key = 9;
    m_replies = {kResultCancel};
    m_form->NewProjectCommand();
    EXPECT_EQ(m_shown.back().text, QStringLiteral("是否保存当前工程？"));
    EXPECT_EQ(m_shown.back().flags, 35);
    EXPECT_EQ(m_session.song.projectPath, saved);
    m_replies = {kResultNo};
    m_form->NewProjectCommand();
    EXPECT_TRUE(m_session.song.projectPath.empty());
    EXPECT_TRUE(m_session.song.bars.empty());

    m_form->RecentMenu()->actions().first()->trigger();
    Settle();
    EXPECT_EQ(m_session.song.projectPath, saved);
    EXPECT_EQ(m_session.song.bars.size(), 4u);
    EXPECT_EQ(m_session.song.tempo, 75);
    EXPECT_EQ(m_form->CurrentPage(), 1);
    EXPECT_TRUE(m_form->m_btnSteps[4]->Enabled());
}

TEST_F(MainFormTest, OpeningAMissingRecentProjectDropsItAndStartsANewSong)
{
    const std::string gone = Path("gone.cpj").toStdString();
    AddRecentProject(m_session.app, Path("kept.cpj").toStdString());
    AddRecentProject(m_session.app, gone);
    m_form->OpenProjectCommand(QString::fromStdString(gone).toUpper().replace(QStringLiteral("GONE"), QStringLiteral("gone")));
    ASSERT_FALSE(m_shown.empty());
    EXPECT_EQ(m_shown.back().text, QStringLiteral("打开工程文件失败！（文件不存在）"));
    EXPECT_EQ(m_shown.back().flags, 16);
    ASSERT_EQ(m_session.app.recentProjects.size(), 1u);
    EXPECT_EQ(m_session.app.recentProjects.front(), Path("kept.cpj").toStdString());
    EXPECT_EQ(m_form->RecentMenu()->actions().size(), 1);
    EXPECT_TRUE(m_form->AutoSaveTimer().isActive());
    EXPECT_EQ(m_form->CurrentPage(), 1);
}

TEST_F(MainFormTest, DroppingAnUnchangedSongsProjectAsksNothing)
{
    SingSomething();
    const QString file = Path("dropped.cpj");
    m_form->chooseSavePath = [&](const QString&) { return file; };
    m_form->SaveProjectCommand(true);
    const size_t before = m_shown.size();
    m_form->OpenDroppedFile(file);
    Settle();
    EXPECT_EQ(m_shown.size(), before);
    EXPECT_EQ(m_session.song.projectPath, file.toStdString());
}

TEST_F(MainFormTest, AutoSaveRunsOnlyForAChangedSavableSongAndRestoresAfterACrash)
{
    SingSomething();
    const QString autosave = QString::fromStdString(AutoSaveFilePath());
    m_form->AutoSaveTick();   // save items still disabled
    EXPECT_FALSE(QFile::exists(autosave));
    m_form->chooseSavePath = [&](const QString&) { return Path("song.cpj"); };
    m_form->SaveProjectCommand(false);
    m_form->AutoSaveTick();   // unchanged since the save
    EXPECT_FALSE(QFile::exists(autosave));
    m_session.song.key = 5;
    m_form->AutoSaveTick();
    EXPECT_TRUE(QFile::exists(autosave));

    // The program dies here; the next start finds the auto-save.
    m_form.reset();
    m_session.song = TSongModel();
    m_session.app = AppSettings();
    m_settings->ReadSettings(m_session.song, m_session.app);
    ASSERT_TRUE(m_session.song.Flag(kFlagAutoSaved));
    MakeForm();
    m_replies = {kResultYes};
    m_form->HandleMessage(UM_RESTORE_AUTOSAVE, 0, 0);
    Settle();
    const auto question = std::find_if(m_shown.begin(), m_shown.end(),
                                       [](const Shown& s) { return s.text.startsWith(QStringLiteral("将恢复")); });
    ASSERT_NE(question, m_shown.end());
    EXPECT_EQ(question->flags, 36);
    EXPECT_EQ(m_session.song.key, 5);
    EXPECT_EQ(m_session.song.projectPath, Path("song.cpj").toStdString());
    EXPECT_TRUE(NeedsSaveQuestion(m_session.song)) << "the restored work is not saved anywhere yet";
    EXPECT_EQ(m_form->m_labCaption->text(), QStringLiteral("Melodrift - song.cpj"));
    TSongModel reread;
    AppSettings app;
    m_settings->ReadSettings(reread, app);
    EXPECT_FALSE(reread.Flag(kFlagAutoSaved));

    // A clean end removes the auto-save file.
    m_form->HandleMessage(UM_AUTOSAVE, 2, 0);
    EXPECT_FALSE(QFile::exists(autosave));
}

TEST_F(MainFormTest, DecliningTheRestoreForgetsTheProject)
{
    SingSomething();
    m_session.song.projectPath = Path("old.cpj").toStdString();
    m_session.song.SetFlag(kFlagAutoSaved, true);
    ASSERT_TRUE(SaveProject(m_session.song, AutoSaveFilePath(), nullptr, m_settings.get()));
    m_session.song = TSongModel();
    m_replies = {kResultNo};
    m_form->HandleMessage(UM_RESTORE_AUTOSAVE, 0, 0);
    EXPECT_TRUE(m_session.song.projectPath.empty());
    EXPECT_TRUE(m_session.song.bars.empty());
}

TEST_F(MainFormTest, LoginEventsDriveTheBandAndTheBadge)
{
    std::snprintf(m_session.user.userName, sizeof m_session.user.userName, "%s", "lin");
    std::snprintf(m_session.user.nickname, sizeof m_session.user.nickname, "%s", "小林");
    m_form->ShowLoggingIn();
    EXPECT_TRUE(m_form->LoginArea().m_lblLoging->isVisible());
    EXPECT_FALSE(m_form->LoginArea().m_btnLogin->isVisible());
    m_form->HandleMessage(UM_SERVICE_EVENT, 0x220000, 0);
    EXPECT_TRUE(m_form->LoginArea().m_panelUserInfo->isVisible());
    EXPECT_EQ(m_form->LoginArea().m_lblUsername->text(), QStringLiteral("小林"));
    EXPECT_TRUE(m_session.song.Flag(kFlagLoggedIn));

    m_form->HandleMessage(UM_SERVICE_EVENT, 0x960000, 3);
    m_form->HandleMessage(UM_SERVICE_EVENT, 0x960000, (7 << 16) | 2);
    EXPECT_TRUE(m_form->LoginArea().m_panelNoticeNum->isVisible());
    EXPECT_EQ(m_form->NoticeCount(), 3);
    EXPECT_EQ(m_form->PersonalCount(), 2);
    EXPECT_EQ(m_form->LoginArea().m_pbUserNoticeNum->toolTip(), QStringLiteral("有 3 条网站最新公告\n和 2 条个人空间消息"));
    EXPECT_EQ(m_form->LoginArea().m_panelNoticeNum->parentWidget(), m_form->LoginArea().m_panelUserInfo);

    m_form->Logoff();
    EXPECT_TRUE(m_form->LoginArea().m_btnLogin->isVisible());
    EXPECT_FALSE(m_session.song.Flag(kFlagLoggedIn));
    EXPECT_STREQ(m_session.user.userName, "lin");
    EXPECT_STREQ(m_session.user.nickname, "");
    EXPECT_EQ(m_form->LoginArea().m_panelNoticeNum->pos(), QPoint(124, 2));
    m_form->HandleMessage(UM_SERVICE_EVENT, 0x960000, 0);
    EXPECT_FALSE(m_form->LoginArea().m_panelNoticeNum->isVisible());

    m_settings->StoreLogin("lin", true, "pw");
    // A refusal of a login the user started is that login's to report.
    m_form->HandleMessage(UM_SERVICE_EVENT, 0x220000 + 32773, 0);
    EXPECT_TRUE(m_shown.empty());
    // The automatic login at start-up is refused.
    m_session.loggingIn = true;
    m_form->HandleMessage(UM_SERVICE_EVENT, 0x220000 + 32773, 0);
    ASSERT_FALSE(m_shown.empty());
    EXPECT_EQ(m_shown.back().text, QStringLiteral("登录失败!\n输入密码错，请重新输入。"));
    std::string name, password;
    EXPECT_FALSE(m_settings->LoadLogin(name, password));
}

TEST_F(MainFormTest, DroppedFilesAndFunctionKeysReachTheCommands)
{
    SingSomething();
    const QString file = Path("by-drop.cpj");
    m_form->chooseSavePath = [&](const QString&) { return file; };
    m_form->SaveProjectCommand(false);
    m_replies = {kResultNo};
    m_form->NewProjectCommand();
    ASSERT_TRUE(m_session.song.projectPath.empty());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(Path("second.cpj"))});
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &drop);
    Settle();
    EXPECT_EQ(m_session.song.projectPath, file.toStdString()) << "the first dropped file is opened";

    QString asked = QStringLiteral("never");
    m_form->chooseOpenPath = [&](const QString& start) {
        asked = start;
        return QString();   // cancelled
    };
    QTest::keyClick(m_form.get(), Qt::Key_F2);
    EXPECT_EQ(asked, file);
    EXPECT_EQ(m_session.song.projectPath, file.toStdString());
    QTest::keyClick(m_form.get(), Qt::Key_F1);
    Settle();
    EXPECT_EQ(m_form->CurrentPage(), kHelpPage);
    QTest::keyClick(m_form.get(), Qt::Key_F6);
    Settle();
    EXPECT_TRUE(m_session.song.projectPath.empty());
    EXPECT_EQ(m_form->CurrentPage(), 1);
}

TEST_F(MainFormTest, LaterStepsHaveTheBaseAccompanimentMadeFirst)
{
    SingSomething();
    test::Fake().melodyBars = 4;
    m_form->HandleMessage(UM_STEP_ENABLE, 0x1F, 0);

    test::Fake().baseResult = -1;   // the composer fails
    m_form->StepClick(3);
    Settle();
    EXPECT_EQ(m_form->CurrentPage(), 1);
    ASSERT_FALSE(m_shown.empty());
    EXPECT_EQ(m_shown.back().text, QStringLiteral("自动编曲失败！"));
    EXPECT_FALSE(m_session.song.Flag(kFlagLeftByStepBar)) << "a refused step leaves no mark";

    test::Fake().baseResult = 0;
    m_form->StepClick(4);
    Settle();
    EXPECT_EQ(m_form->CurrentPage(), 4);
    EXPECT_TRUE(m_session.song.Flag(kFlagBaseAccompaniment));
}
