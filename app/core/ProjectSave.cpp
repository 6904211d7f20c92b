#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "EngineTables.h"
#include "ProjectFile.h"
#include "ProjectFormat.h"
#include "SettingsStore.h"
#include "SongModel.h"

namespace melodrift {

namespace fs = std::filesystem;

AutoResetEvent& ProjectEvent()
{
    static AutoResetEvent event(true);
    return event;
}

std::string AutoSaveFilePath()
{
    char dir[4096];
    const size_t length = MDP_UserDataDir(dir, sizeof dir);
    if (length >= sizeof dir)
        return {};
    const fs::path folder = fs::path(dir) / "temp";
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return (folder / "~last.sav").string();
}

namespace {

// Holds the project event for one save or open.
class ProjectEventGuard {
public:
    ProjectEventGuard() { ProjectEvent().Wait(); }
    ~ProjectEventGuard() { ProjectEvent().Set(); }
    ProjectEventGuard(const ProjectEventGuard&) = delete;
    ProjectEventGuard& operator=(const ProjectEventGuard&) = delete;
};

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteProgramPart(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, bytes.data(), bytes.size());
    return ::close(fd) == 0 && ok;
}

// Puts the whole file's length into its header once the engine has appended.
bool PatchTotalLength(const std::string& path, size_t programLength)
{
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    if (error || size < programLength || size > UINT32_MAX)
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const uint32_t total = static_cast<uint32_t>(size);
    const bool ok = ::pwrite(fd, &total, sizeof total, kTotalLengthOffset) == static_cast<ssize_t>(sizeof total) &&
                    ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool WriteProjectFile(TSongModel& song, const std::string& path, MDP_Window progress)
{
    const std::string partial = path + ".saving~";
    const std::vector<uint8_t> bytes = SerializeProgramPart(ContentOf(song));
    bool ok = WriteProgramPart(partial, bytes);
    if (ok) {
        // The engine appends its block to the file it is given.
        ok = Engines().mm.MM_SaveProject(progress, partial.c_str()) >= 0 && PatchTotalLength(partial, bytes.size());
    }
    std::error_code error;
    if (ok)
        fs::rename(partial, path, error);
    if (!ok || error) {
        fs::remove(partial, error);
        return false;
    }
    return true;
}

} // namespace

bool SaveProject(TSongModel& song, const std::string& path, MDP_Window progress, TSettingsStore* settings)
{
    bool ok = false;
    {
        ProjectEventGuard guard;
        ok = WriteProjectFile(song, path, progress);
        if (ok && progress) {
            song.TakeSavedCopy();
            song.projectPath = path;
        } else if (ok) {
            // An auto-save is no save of the user's project: the song stays
            // modified so that leaving still asks to save it.
            song.SetFlag(kFlagAutoSaved, true);
            if (settings)
                settings->WriteAutoSaveSettings(song);
        }
    }
    // Reported last: the GUI thread reads the song as soon as the dialog ends.
    if (progress && ok)
        MDP_PostMessage(progress, UM_PROGRESS_DONE, 0, 0);
    else if (progress)
        MDP_PostMessage(progress, UM_PROGRESS_FAILED, static_cast<intptr_t>(kProjectCannotOpen), 0);
    return ok;
}

const char* const kTimbreLibraryMissingMessage = "指定音色库失效，使用缺省音色库。";

const char* ProjectResultMessage(uint32_t result)
{
    switch (result) {
    case kProjectCannotOpen: return "打开工程文件失败！（文件不存在）";
    case kProjectBadVersion: return "打开工程文件失败！（无效的版本号）";
    case kProjectDamaged: return "打开工程文件失败！（工程文件已被破坏）";
    case kProjectAudioError: return "打开工程文件失败！（音频文件读取错误）";
    case kProjectStyleGone: return "打开工程文件失败！（风格文件已失效）";
    default: return "";
    }
}

} // namespace melodrift
