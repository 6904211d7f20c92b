#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "FakeEngine.h"
#include "RegisterScreens.h"
#include "ScreenRegistry.h"
#include "SettingsStore.h"
#include "TMainForm.h"
#include "MessageScript.h"
#include "TMessageForm.h"
#include "TProgressForm.h"
#include "TSaveForm.h"

using namespace melodrift;

namespace {

// Notes the caption of every progress dialog that shows.
class ProgressWatch : public QObject {
public:
    QStringList captions;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* form = qobject_cast<TProgressForm*>(watched))
                captions << form->m_lblCaption->text();
        return false;
    }
};

class FinishWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        test::InstallFakeEngine();
        RegisterFinishScreens();
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")).toStdString());
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        qApp->installEventFilter(&m_watch);
    }

    void TearDown() override
    {
        qApp->removeEventFilter(&m_watch);
        m_form.reset();
        ClearScreenRegistry();
        TSaveForm::SetScript({});
        unsetenv("MELODRIFT_HOME");
    }

    QTemporaryDir m_dir;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    ProgressWatch m_watch;
    test::MessageScript m_script;
    QStringList& m_messages = m_script.shown;
};

TEST_F(FinishWindowTest, TheWindowsOwnOperationsRunInTheProgressDialog)
{
    m_form->OpenProjectCommand(m_dir.filePath(QStringLiteral("missing.cpj")));
    EXPECT_EQ(m_watch.captions, QStringList{QStringLiteral("正在打开")});
    EXPECT_TRUE(m_messages.contains(QStringLiteral("打开工程文件失败！（文件不存在）")));
}

TEST_F(FinishWindowTest, AProjectSaveIntoAFolderThatCannotBeWrittenSaysSoAndKeepsTheSong)
{
    TSongModel& song = m_session.song;
    song.styleId = 7;
    song.AddBar();
    song.stages = {{0, 0, 0}};
    song.songForm = {{0, 1, 0, 7, {}}};
    song.SetFlag(kFlagMelody, true);
    const auto form = song.songForm;
    const QString target = m_dir.filePath(QStringLiteral("no such folder/song.cpj"));
    m_form->chooseSavePath = [&](const QString&) { return target; };
    m_form->SaveProjectCommand(true);
    EXPECT_EQ(m_watch.captions, QStringList{QStringLiteral("正在保存")});
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("工程文件保存失败！")));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(song.songForm, form);
    EXPECT_TRUE(song.projectPath.empty()) << "the song did not become that file";
}

TEST_F(FinishWindowTest, ExportSongOpensTheSaveDialogAndACancelWritesNothing)
{
    int dialogs = 0;
    TSaveForm::SetScript([&](TSaveForm&) {
        ++dialogs;
        return 2;
    });
    EXPECT_EQ(m_form->HandleMessage(UM_EXPORT_SONG, 0, 0), 1);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(m_watch.captions.isEmpty());
    EXPECT_TRUE(m_messages.isEmpty());
}

} // namespace
