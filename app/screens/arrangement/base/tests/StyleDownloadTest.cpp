// A style that only the service has: published by the real melodrift-service's
// admin command, listed by the client's synchronisation, downloaded from the
// dialog, installed in the library, and composed.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "MessageDispatcher.h"
#include "SettingsStore.h"
#include "StyleSelLogic.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TStyleSelForm.h"

using namespace melodrift;

namespace {

constexpr int32_t kOnlineId = 424242;

std::string BinDir() { return std::getenv("MELODRIFT_BIN_DIR"); }

int RunCommand(const std::string& command)
{
    return WEXITSTATUS(std::system((command + " >/dev/null 2>&1").c_str()));
}

// The reference server on a free loopback port, ended with SIGTERM.
class ServiceProcess {
public:
    explicit ServiceProcess(const std::string& db)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            const std::string program = BinDir() + "/melodrift-service";
            ::execl(program.c_str(), "melodrift-service", "serve", "--db", db.c_str(), "--port", "0", "--bind",
                    "127.0.0.1", "--hash-iterations", "1000", nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        FILE* lines = ::fdopen(out[0], "r");
        char line[256] = "";
        if (lines && std::fgets(line, sizeof line, lines))
            std::sscanf(line, "listening on 127.0.0.1:%u", &m_port);
        if (lines)
            std::fclose(lines);
    }
    ~ServiceProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    unsigned Port() const { return m_port; }

private:
    pid_t m_pid = -1;
    unsigned m_port = 0;
};

class Window : public QObject, public TMessageTarget {
public:
    Window() { RegisterMessageTarget(this, this); }
    ~Window() override { UnregisterMessageTarget(this); }
    intptr_t HandleMessage(uint32_t, intptr_t, intptr_t) override { return 0; }
    bool event(QEvent* e) override { return DeliverMessageEvent(this, e) || QObject::event(e); }
};

template <typename Done>
bool PumpUntil(Done done, int seconds)
{
    for (int i = 0; i < seconds * 20; ++i) {
        if (done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ::usleep(20000);
    }
    return done();
}

const tagStyleInfo* Listed(const StyleRunState& run, int32_t id)
{
    const int index = run.IndexOf(id);
    return index < 0 ? nullptr : &run.library[static_cast<size_t>(index)].info;
}

} // namespace

TEST(StyleDownload, AStyleOnlyTheServiceHasIsDownloadedIntoTheLibraryAndComposes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    setenv("MELODRIFT_HOME", (root + "/home").c_str(), 1);

    // A style of our own, compiled and published by the admin command.
    std::ifstream in(std::string(std::getenv("MELODRIFT_SOURCE_DIR")) + "/styles/sources/disco.style");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    std::string source = text.str();
    const size_t idAt = source.find("style 2005");
    ASSERT_NE(idAt, std::string::npos);
    source.replace(idAt, 10, "style " + std::to_string(kOnlineId));
    const size_t nameAt = source.find("name \"");
    source.replace(nameAt, source.find('\n', nameAt) - nameAt, "name \"网上 Disco\"");
    ::mkdir((root + "/published").c_str(), 0755);
    std::ofstream(root + "/online.style") << source;
    ASSERT_EQ(RunCommand(BinDir() + "/melodrift-stylec " + root + "/online.style -o " + root + "/published/online.mds"), 0);
    const std::string db = root + "/service.db";
    ASSERT_EQ(RunCommand(BinDir() + "/melodrift-service publish-styles " + root + "/published --db " + db), 0);
    // The program's own version is not below the server's minimum.
    const std::string version = FormatVersion(CurrentProgramVersion());
    ASSERT_EQ(RunCommand(BinDir() + "/melodrift-service set-versions " + version + " " + version + " --db " + db), 0);
    ServiceProcess service(db);
    ASSERT_GT(service.Port(), 0u);
    setenv("MELODRIFT_SERVICE", ("127.0.0.1:" + std::to_string(service.Port())).c_str(), 1);

    ASSERT_EQ(BindEngineLibraries(), 0);
    InstallMessageDispatcher();
    Window main;
    AppSession session;
    TSettingsStore settings(root + "/s.ini");
    ASSERT_TRUE(StartOnlineService(session, settings, WindowHandle(&main), ApplicationDirectory()).ok);
    struct StopService {
        ~StopService() { Engines().cs.CS_DestroyService(); }
    } stopService;

    // The synchronisation lists it as online.
    StyleRunState run;
    ASSERT_TRUE(PumpUntil([&] {
        run.loadedMetre = -1;
        LoadStyleLibrary(run, 0);
        return Listed(run, kOnlineId) != nullptr;
    }, 30)) << "the service's style is listed";
    EXPECT_EQ(Listed(run, kOnlineId)->state, SF_STATE_ONLINE);
    EXPECT_FALSE(Engines().sm.SM_CheckStyle(kOnlineId));

    // The dialog downloads it with a release on its entry.
    session.song.metre = 0;
    session.song.genreMask = 1u << 9 | 1u << 3 | 1u << 0;
    QStringList messages;
    TMessageForm::SetScript([&](const QString& t, int) {
        messages << t;
        return static_cast<int>(kResultOk);
    });
    {
        TStyleSelForm form(session.song, {}, false, nullptr, run);
        const int index = run.IndexOf(kOnlineId);
        form.PressItem(index, false, {});
        EXPECT_FALSE(form.m_btnTry->Enabled());
        form.ReleaseItem(index);
        EXPECT_TRUE(run.library[static_cast<size_t>(index)].Downloading());
        ASSERT_TRUE(PumpUntil([&] { return run.library[static_cast<size_t>(index)].Installed(); }, 30))
            << messages.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(run.library[static_cast<size_t>(index)].Downloading());
        EXPECT_TRUE(form.m_btnTry->Enabled()) << "the selected entry can now be chosen";
        form.ClickChoose();
        EXPECT_EQ(form.Output().styleId, kOnlineId);
    }
    TMessageForm::SetScript({});
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(Engines().sm.SM_CheckStyle(kOnlineId));

    // Installed for good: a fresh listing says so, and the composer uses it.
    StyleRunState fresh;
    LoadStyleLibrary(fresh, 0);
    ASSERT_NE(Listed(fresh, kOnlineId), nullptr);
    EXPECT_EQ(Listed(fresh, kOnlineId)->state, SF_STATE_INSTALLED);
    std::vector<uint8_t> midi(kDemoBufferSize);
    int32_t size = kDemoBufferSize;
    ASSERT_EQ(Engines().sm.SM_GetStyleDemo(&size, midi.data(), kOnlineId, 0, 0, 0, 0), 0);
    EXPECT_GT(size, 100);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(midi.data()), 4), "MThd");

    unsetenv("MELODRIFT_SERVICE");
    unsetenv("MELODRIFT_HOME");
}
