#include "AppSession.h"

#include <cstdio>
#include <cstring>

#include "EngineTables.h"
#include "Pipeline.h"
#include "PlaybackClock.h"
#include "TimbreLibraries.h"

#ifndef MELODRIFT_VERSION_MAJOR
#define MELODRIFT_VERSION_MAJOR 0
#define MELODRIFT_VERSION_MINOR 0
#define MELODRIFT_VERSION_PATCH 0
#endif
#ifndef MELODRIFT_VERSION_BUILD
#define MELODRIFT_VERSION_BUILD 0
#endif

namespace melodrift {

ProgramVersion CurrentProgramVersion()
{
    return {MELODRIFT_VERSION_MAJOR, MELODRIFT_VERSION_MINOR, MELODRIFT_VERSION_PATCH, MELODRIFT_VERSION_BUILD};
}

std::string FormatVersion(const ProgramVersion& v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%04d", v.major, v.minor, v.release, v.build);
    return text;
}

void FillClientRecord(CS_VersionRecord& record, const ProgramVersion& v)
{
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    record.major = static_cast<uint16_t>(v.major);
    record.minor = static_cast<uint16_t>(v.minor);
    record.modify = static_cast<uint16_t>(v.release);
    record.build = static_cast<uint16_t>(v.build);
}

std::string ApplicationDirectory()
{
    return std::string(MDP_DataDir()) + "/";
}

std::string EngineDirectory(const std::string& applicationDirectory)
{
    const size_t cut = applicationDirectory.find_last_of('/');
    return cut == std::string::npos ? applicationDirectory : applicationDirectory.substr(0, cut);
}

AppSession& Session()
{
    static AppSession session;
    return session;
}

StepResult InitialiseEngine(AppSession& session, TSettingsStore& settings, MDP_Window mainWindow,
                            const std::string& applicationDirectory)
{
    auto& mm = Engines().mm;
    const std::string engineDir = EngineDirectory(applicationDirectory);
    if (mm.MM_InitialObjects(mainWindow, engineDir.c_str()) != 0)
        return {false, "初始化媒体控制组件失败！"};
    TSongModel& song = session.song;
    settings.ReadSettings(song, session.app);
    SetTempo(song, song.tempo, true);
    SetMetre(song, song.metre, true);
    mm.MM_SetRecordAutoAdjust(song.Flag(kFlagAutoLevel) ? 1 : 0);
    mm.MM_SetRecordDevice(&session.app.recordDevice, session.app.recordDeviceName.c_str(), &session.app.recordInput,
                          &song.recordVolume);
    ResetEffects(song);
    if (BuildTimbreLibraryList(song, applicationDirectory + "Fonts/") == 0)
        return {false, "初始化音色库失败！"};
    ChooseTimbreLibrary(song, song.timbreLibraryName);
    return {};
}

StepResult StartOnlineService(AppSession& session, TSettingsStore& settings, MDP_Window mainWindow,
                              const std::string& applicationDirectory)
{
    const auto& cs = Engines().cs;
    const ProgramVersion version = CurrentProgramVersion();
    FillClientRecord(session.client, version);
    session.version = FormatVersion(version);
    char web[CS_WEB_ADDRESS_CAPACITY] = "";
    const std::string engineDir = EngineDirectory(applicationDirectory);
    if (cs.CS_InitialService(mainWindow, &session.client, web, engineDir.c_str()) != 0) {
        session.serviceRunning = false;
        return {false, "网络服务启动失败!\n(将无法进行网络相关操作)"};
    }
    session.serviceRunning = true;
    web[sizeof web - 1] = '\0';
    session.webAddress = web;
    std::string name, password;
    if (settings.LoadLogin(name, password)) {
        std::memset(&session.user, 0, sizeof session.user);
        std::snprintf(session.user.userName, sizeof session.user.userName, "%s", name.c_str());
        std::snprintf(session.user.password, sizeof session.user.password, "%s", password.c_str());
        session.loggingIn = cs.CS_Login(&session.user, 0) == 0;
    }
    return {};
}

void PostStartMessages(AppSession& session, MDP_Window mainWindow, const std::string& commandLineFile)
{
    if (!commandLineFile.empty()) {
        session.pendingFile = commandLineFile;
        MDP_PostMessage(mainWindow, UM_OPEN_FILE, 0, 0);
    } else {
        MDP_PostMessage(mainWindow, UM_NEW_PROJECT, 0, 0);
    }
    if (session.song.Flag(kFlagAutoSaved))
        MDP_PostMessage(mainWindow, UM_RESTORE_AUTOSAVE, 0, 0);
}

void ShutdownEngines(AppSession& session)
{
    const EngineTables& e = Engines();
    int32_t result = 0;
    if (e.cs.CS_DestroyService && (result = e.cs.CS_DestroyService()) < 0)
        MDP_DebugOutput("CS_DestroyService return %d\n", result);
    if (e.mm.MM_DestroyObjects && (result = e.mm.MM_DestroyObjects()) < 0)
        MDP_DebugOutput("MM_DestroyObjects return %d\n", result);
    if (e.sm.SM_Release && (result = e.sm.SM_Release()) < 0)
        MDP_DebugOutput("SM_Release return %d\n", result);
    session.serviceRunning = false;
    session.song.ClearSong(kClearAll);
}

} // namespace melodrift
