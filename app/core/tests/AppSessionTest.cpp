#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "AppSession.h"
#include "EngineBinding.h"
#include "FakeEngine.h"
#include "TimbreLibraries.h"
#include "TProgressThread.h"
#include "ProjectFile.h"
#include "TempFolder.h"

namespace melodrift {
namespace {

namespace fs = std::filesystem;
using test::Fake;

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::InstallFakeEngine();
        m_appDir = (m_dir / "app").string() + "/";
        fs::create_directories(m_appDir + "Fonts");
    }

    void Font(const std::string& name) { std::ofstream(m_appDir + "Fonts/" + name) << "x"; }

    testsupport::TempFolder m_folder{"appcore_start"};
    fs::path m_dir = m_folder.Path();
    std::string m_appDir;
    test::MessageLog m_log;
    int m_mainWindow = 0;
};

TEST(Version, TextAndClientRecord)
{
    EXPECT_EQ(FormatVersion({2, 4, 1, 37}), "2.4.1.0037");
    CS_VersionRecord record;
    std::memset(&record, 0xAB, sizeof record);
    FillClientRecord(record, {2, 4, 1, 37});
    EXPECT_EQ(record.size, 1044);
    EXPECT_EQ(record.major, 2);
    EXPECT_EQ(record.minor, 4);
    EXPECT_EQ(record.modify, 1);
    EXPECT_EQ(record.build, 37);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    for (size_t i = 12; i < sizeof record; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

TEST(Folders, EngineDirectoryHasNoTrailingSeparator)
{
    EXPECT_EQ(EngineDirectory("/opt/melodrift/bin/"), "/opt/melodrift/bin");
    const std::string app = ApplicationDirectory();
    ASSERT_FALSE(app.empty());
    EXPECT_EQ(app.back(), '/');
    EXPECT_EQ(EngineDirectory(app) + "/", app);
}

TEST(Folders, AutoSaveFileLivesInTheUsersDataFolder)
{
    const testsupport::TempFolder home("appcore_home");
    ::setenv("MELODRIFT_HOME", home.Root().c_str(), 1);
    const std::string path = AutoSaveFilePath();
    ::unsetenv("MELODRIFT_HOME");
    EXPECT_EQ(path, home.Root() + "/temp/~last.sav");
    EXPECT_TRUE(fs::is_directory(home.Root() + "/temp"));
}

TEST(Binding, FailureMessages)
{
    EXPECT_STREQ(BindingFailureMessage(1), "加载媒体控制模块失败！");
    EXPECT_STREQ(BindingFailureMessage(4), "获取媒体处理函数失败！");
    EXPECT_STREQ(BindingFailureMessage(6), "获取网络服务函数失败！");
    EXPECT_STREQ(BindingFailureMessage(0), "");
    EXPECT_STREQ(BindingFailureMessage(7), "");
}

TEST_F(Startup, TimbreLibraryChoiceFallsBackToPopDefaultThenTheFirst)
{
    Font("b.sf2");
    Font("a.sf2");
    Font("notes.txt");  // the engine refuses it
    Font("z-named.sf2"); // reports the display name "Pop default"
    TSongModel s;
    ASSERT_EQ(BuildTimbreLibraryList(s, m_appDir + "Fonts/"), 3);
    EXPECT_STREQ(s.fonts[0].name, "a.sf2") << "no name from the engine: the file name";
    EXPECT_TRUE(ChooseTimbreLibrary(s, "b.sf2"));
    EXPECT_EQ(s.timbreLibrary, 1);
    EXPECT_FALSE(ChooseTimbreLibrary(s, "gone.sf2"));
    EXPECT_EQ(s.timbreLibraryName, "z-named.sf2");
    ASSERT_FALSE(Fake().fontsSet.empty());
    EXPECT_EQ(fs::path(Fake().fontsSet.back()).filename(), "z-named.sf2");

    fs::remove(m_appDir + "Fonts/z-named.sf2");
    BuildTimbreLibraryList(s, m_appDir + "Fonts/");
    EXPECT_FALSE(ChooseTimbreLibrary(s, ""));
    EXPECT_EQ(s.timbreLibraryName, "a.sf2");
}

TEST_F(Startup, EngineInitialisationReportsItsFailures)
{
    TSettingsStore settings((m_dir / "s.ini").string());
    AppSession session;
    StepResult r = InitialiseEngine(session, settings, &m_mainWindow, m_appDir);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.message, "初始化音色库失败！");
    EXPECT_EQ(Fake().tempoCalls, (std::vector<int>{75})) << "tempo applied, forced";

    Font("Pop default.sf2");
    r = InitialiseEngine(session, settings, &m_mainWindow, m_appDir);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(session.song.timbreLibraryName, "Pop default.sf2");
    EXPECT_EQ(session.song.effectStates[3], 2) << "effects reset";

    Engines().mm.MM_InitialObjects = [](MDP_Window, const char*) { return -1; };
    r = InitialiseEngine(session, settings, &m_mainWindow, m_appDir);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.message, "初始化媒体控制组件失败！");
}

TEST_F(Startup, OnlineServiceLogsInWithARememberedLogin)
{
    static std::string seenFolder;
    static CS_UserRecord* seenUser = nullptr;
    Engines().cs.CS_InitialService = [](MDP_Window, CS_VersionRecord* r, char* web, const char* folder) {
        seenFolder = folder;
        std::strcpy(web, "http://forum.invalid/");
        return r->size == 1044 ? 0 : 1;
    };
    Engines().cs.CS_Login = [](CS_UserRecord* u, int32_t sync) {
        seenUser = u;
        return sync == 0 ? 0 : -1;
    };
    TSettingsStore settings((m_dir / "s.ini").string());
    AppSession session;
    StepResult r = StartOnlineService(session, settings, &m_mainWindow, m_appDir);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(seenFolder + "/", m_appDir);
    EXPECT_EQ(session.webAddress, "http://forum.invalid/");
    EXPECT_EQ(seenUser, nullptr) << "nothing remembered: no login";
    EXPECT_FALSE(session.loggingIn);

    settings.StoreLogin("carol", true, "pw123");
    r = StartOnlineService(session, settings, &m_mainWindow, m_appDir);
    ASSERT_EQ(seenUser, &session.user);
    EXPECT_STREQ(session.user.userName, "carol");
    EXPECT_STREQ(session.user.password, "pw123");
    EXPECT_TRUE(session.loggingIn);

    Engines().cs.CS_InitialService = [](MDP_Window, CS_VersionRecord*, char*, const char*) { return 1; };
    r = StartOnlineService(session, settings, &m_mainWindow, m_appDir);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.message, "网络服务启动失败!\n(将无法进行网络相关操作)");
    EXPECT_FALSE(session.serviceRunning);
}

TEST_F(Startup, StartMessagesOpenTheGivenFileOrStartANewSong)
{
    AppSession session;
    PostStartMessages(session, &m_mainWindow, "/songs/a.cpj");
    session.song.SetFlag(kFlagAutoSaved, true);
    PostStartMessages(session, &m_mainWindow, "");
    const auto m = m_log.Take();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, static_cast<uint32_t>(UM_OPEN_FILE));
    EXPECT_EQ(m[0].lParam, 0);
    EXPECT_EQ(session.pendingFile, "/songs/a.cpj");
    EXPECT_EQ(m[1].message, static_cast<uint32_t>(UM_NEW_PROJECT));
    EXPECT_EQ(m[2].message, static_cast<uint32_t>(UM_RESTORE_AUTOSAVE));
}

TEST_F(Startup, WorkerRunsSavesOpensAndOnlineOperations)
{
    int dialog = 0;
    TSongModel song;
    song.styleId = 7;
    song.AddBar();
    ProgressOperation save;
    save.code = kOpSaveProject;
    save.song = &song;
    save.path = (m_dir / "w.cpj").string();
    {
        TProgressThread worker(save, &dialog);
        worker.Join();
        EXPECT_EQ(worker.Result(), 1);
    }
    ProgressOperation open = save;
    open.code = kOpOpenProject;
    TSongModel opened;
    open.song = &opened;
    {
        TProgressThread worker(open, &dialog);
        worker.Join();
        EXPECT_EQ(worker.Result(), kProjectOk);
    }
    ProgressOperation reg;
    reg.code = kOpRegister;
    CS_UserRecord user{};
    reg.user = &user;
    reg.mainWindow = &m_mainWindow;
    EXPECT_EQ(RunProgressOperation(reg, &dialog), 0);
    Fake().serviceResult = 32773;
    EXPECT_EQ(RunProgressOperation(reg, &dialog), 32773);
    const auto m = m_log.Take();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].message, static_cast<uint32_t>(UM_PROGRESS_DONE));
    EXPECT_EQ(m[1].message, static_cast<uint32_t>(UM_PROGRESS_DONE));
    EXPECT_EQ(m[2].window, &m_mainWindow) << "a registration reports like a login";
    EXPECT_EQ(m[2].message, static_cast<uint32_t>(UM_SERVICE_EVENT));
    EXPECT_EQ(m[2].wParam, 0x00220000);
    EXPECT_EQ(m[2].lParam, reinterpret_cast<intptr_t>(&user));
    EXPECT_EQ(m[3].message, static_cast<uint32_t>(UM_PROGRESS_DONE));
    EXPECT_EQ(m[4].window, &dialog);
    EXPECT_EQ(m[4].message, static_cast<uint32_t>(UM_PROGRESS_DONE)) << "a failed registration only ends the dialog";
}

} // namespace
} // namespace melodrift
