#pragma once

// Process-wide state of the running program that is not the song itself:
// folders, version, the records handed to the online service, and the start-
// up steps the main window runs when it is created.

#include <string>

#include "MelodriftPlatform.h"
#include "SettingsStore.h"
#include "SongModel.h"
#include "Tidelink.h"

namespace melodrift {

struct ProgramVersion {
    int major = 0, minor = 0, release = 0, build = 0;
};

ProgramVersion CurrentProgramVersion();
// "%d.%d.%d.%04d"
std::string FormatVersion(const ProgramVersion& version);
// 1044 bytes, zero but for the size and the four version numbers.
void FillClientRecord(CS_VersionRecord& record, const ProgramVersion& version);

// The folder the program and its data folders live in, ending in '/'.
std::string ApplicationDirectory();
// The same folder without the trailing separator, for the engines.
std::string EngineDirectory(const std::string& applicationDirectory);

struct AppSession {
    TSongModel song;
    AppSettings app;
    CS_VersionRecord client{};
    // Tidelink keeps a pointer to this record while a user is logged in.
    CS_UserRecord user{};
    std::string version;
    std::string webAddress;          // empty: the forum command is disabled
    std::string pendingFile;
    bool serviceRunning = false;
    bool loggingIn = false;          // an automatic login was started
};

AppSession& Session();

// Outcome of a start-up step: what to show when it failed.
struct StepResult {
    bool ok = true;
    const char* message = "";
};

// Creates the engine, reads the settings and applies them, builds and chooses
// the timbre library. A failure means the main window closes.
StepResult InitialiseEngine(AppSession& session, TSettingsStore& settings, MDP_Window mainWindow,
                            const std::string& applicationDirectory);
// Starts the online service and logs in with a remembered login. A failure
// leaves the program running without the service.
StepResult StartOnlineService(AppSession& session, TSettingsStore& settings, MDP_Window mainWindow,
                              const std::string& applicationDirectory);
// UM_OPEN_FILE or UM_NEW_PROJECT, and UM_RESTORE_AUTOSAVE after an unclean exit.
void PostStartMessages(AppSession& session, MDP_Window mainWindow, const std::string& commandLineFile);
// Ends the service, the engine and the composer, and clears the song.
void ShutdownEngines(AppSession& session);

} // namespace melodrift
