#pragma once

// The program's preferences and the state that survives a restart, kept in
// QSettings (INI, organisation "Korvane", application "Melodrift") under the
// value names the program has always used.

#include <memory>
#include <string>
#include <vector>

class QSettings;

namespace melodrift {

class TSongModel;

constexpr int kMaxRecentProjects = 6;
constexpr size_t kMaxDeviceName = 258;

// Values that are not part of the song.
struct AppSettings {
    int recordDevice = -1;
    int recordInput = -1;
    std::string recordDeviceName;          // bytes as the engine gave them
    int lastSaveOption = 3;
    int lastSaveType = 0;
    std::string lastSaveFile;
    int windowState = 0;                   // 0 normal, 2 maximised
    std::vector<std::string> recentProjects; // most recent first, at most 6
};

class TSettingsStore {
public:
    // The user's store.
    TSettingsStore();
    // A store in an INI file of its own (tests).
    explicit TSettingsStore(const std::string& iniPath);
    ~TSettingsStore();

    // Reads every value present into song and app; a store that did not
    // exist yet leaves every default. Metre and tempo go through SetMetre and
    // SetTempo without forcing.
    void ReadSettings(TSongModel& song, AppSettings& app);
    // Everything except the auto-save values and the login.
    void WriteSettings(const TSongModel& song, const AppSettings& app);
    void WriteAutoSaveSettings(const TSongModel& song);
    // "AutoSaveProj" into the song's project path.
    void ReadAutoSaveProject(TSongModel& song);

    void StoreLogin(const std::string& userName, bool rememberPassword, const std::string& password);
    // True only when a password is remembered; userName is filled whenever a
    // login record exists.
    bool LoadLogin(std::string& userName, std::string& password);
    void ForgetLogin();

    QSettings& Raw() { return *m_settings; }

private:
    void Protect();

    std::unique_ptr<QSettings> m_settings;
};

// Recent projects: most recent first; an existing entry moves to the front.
void AddRecentProject(AppSettings& app, const std::string& path);
// Paths compare without regard to case.
void RemoveRecentProject(AppSettings& app, const std::string& path);

} // namespace melodrift
