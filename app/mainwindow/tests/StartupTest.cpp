#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "EngineTables.h"
#include "FakeEngine.h"
#include "ProjectFile.h"
#include "SettingsStore.h"
#include "TLoginArea.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"

using namespace melodrift;

namespace {

int32_t g_serviceResult = 0;
int32_t g_notices = 0;
int g_logins = 0;
int g_destroyed = 0;

int32_t InitialService(MDP_Window, CS_VersionRecord*, char* web, const char*)
{
    std::strcpy(web, "http://forum.example.test/");
    return g_serviceResult;
}
int32_t DestroyService() { return ++g_destroyed, 0; }
int32_t NoticeNum(int32_t) { return g_notices; }
int32_t LoginAsync(CS_UserRecord*, int32_t sync) { return ++g_logins, sync == 0 ? 0 : -1; }
int32_t EngineFails(MDP_Window, const char*) { return 1; }

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        test::InstallFakeEngine();
        Engines().cs.CS_InitialService = InitialService;
        Engines().cs.CS_DestroyService = DestroyService;
        Engines().cs.CS_GetNewNoticeNum = NoticeNum;
        Engines().cs.CS_Login = LoginAsync;
        g_serviceResult = 0;
        g_notices = 0;
        g_logins = 0;
        g_destroyed = 0;
        InstallMessageDispatcher();
        TMessageForm::SetScript([this](const QString& text, int flags) {
            m_messages << QStringLiteral("%1 %2").arg(flags).arg(text);
            return static_cast<int>(kResultNo);
        });
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")).toStdString());
    }

    void TearDown() override
    {
        m_form.reset();
        TMessageForm::SetScript({});
        unsetenv("MELODRIFT_HOME");
    }

    bool Start()
    {
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->show();
        const bool ok = m_form->InitialiseEngines({});
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        return ok;
    }

    static bool HaveTimbreLibraries()
    {
        return !QDir(QString::fromStdString(ApplicationDirectory()) + QStringLiteral("Fonts")).isEmpty(QDir::Files);
    }

    QTemporaryDir m_dir;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
};

} // namespace

TEST_F(StartupTest, AnEngineThatCannotStartEndsTheWindowAndKeepsTheAutoSave)
{
    const QString autosave = QString::fromStdString(AutoSaveFilePath());
    {
        QFile file(autosave);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("unsaved work");
    }
    Engines().mm.MM_InitialObjects = EngineFails;
    EXPECT_FALSE(Start());
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("16 初始化媒体控制组件失败！")});
    m_form->ShutdownWindow();
    EXPECT_TRUE(QFile::exists(autosave)) << "a failed start must not throw the recovery away";
}

TEST_F(StartupTest, WithoutTheServiceTheProgramGoesOnWithoutLogin)
{
    ASSERT_TRUE(HaveTimbreLibraries()) << "no timbre library in bin/Fonts, where the engine's build puts one";
    g_serviceResult = 1;
    ASSERT_TRUE(Start());
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("16 网络服务启动失败!\n(将无法进行网络相关操作)")});
    EXPECT_FALSE(m_form->LoginArea().m_btnLogin->isVisible());
    EXPECT_FALSE(m_form->MenuAction(TMainForm::kItemForum)->isEnabled());
    EXPECT_EQ(m_form->CurrentPage(), 1) << "a new song was started";
}

TEST_F(StartupTest, ARememberedLoginAndNewNoticesShowAtOnceAndExitShutsDown)
{
    ASSERT_TRUE(HaveTimbreLibraries()) << "no timbre library in bin/Fonts, where the engine's build puts one";
    m_settings->StoreLogin("lin", true, "secret");
    g_notices = 3;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(g_logins, 1);
    EXPECT_TRUE(m_form->LoginArea().m_lblLoging->isVisible());
    EXPECT_TRUE(m_form->LoginArea().m_panelNoticeNum->isVisible());
    EXPECT_EQ(m_form->LoginArea().m_pbUserNoticeNum->toolTip(), QStringLiteral("有3条网站最新公告"));
    EXPECT_TRUE(m_form->MenuAction(TMainForm::kItemForum)->isEnabled());

    // Exit with an unsaved melody asks; No closes and ends the service.
    m_session.song.AddBar();
    m_form->ExitCommand();
    ASSERT_FALSE(m_messages.isEmpty());
    EXPECT_EQ(m_messages.back(), QStringLiteral("35 是否保存当前工程？"));
    EXPECT_FALSE(m_form->isVisible());
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_TRUE(m_session.song.bars.empty()) << "the song is cleared at the end";
}
