#include "ExportWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "Sonobox.h"

namespace melodrift::sonobox {
namespace {

// A name beside the target that no other export uses at the same time.
std::string TemporaryName(const std::string& path)
{
    return path + ".part-" + std::to_string(::getpid());
}

// The file's bytes are on the disk before its name replaces the old file.
bool SyncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace

int ExportWriter::Fail(MDP_Window window, int code, std::int32_t* result) const
{
    if (result)
        *result = code;
    // After a cancel the dialog has already closed: nothing more is posted.
    if (code != MM_ERR_CANCELLED)
        m_messages.ProgressFailed(window, code);
    return code;
}

int ExportWriter::Write(MDP_Window window, const std::string& path, std::int32_t* result, const Writer& write)
{
    const std::string temporary = TemporaryName(path);
    int lastPercent = -1;
    const Progress progress = [&](std::size_t done, std::size_t total) {
        int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (percent != lastPercent) {
            lastPercent = percent;
            m_messages.ProgressStep(window, percent);
        }
        return !m_cancel.load();
    };
    int code = write(temporary, progress);
    if (code == 0 && m_cancel)
        code = MM_ERR_CANCELLED;
    std::error_code ec;
    auto written = static_cast<std::size_t>(std::filesystem::file_size(temporary, ec));
    if (code == 0 && (!SyncFile(temporary) || std::rename(temporary.c_str(), path.c_str()) != 0))
        code = MM_ERR_IO;
    if (code != 0) {
        std::remove(temporary.c_str());
        return Fail(window, code, result);
    }
    if (result)
        *result = static_cast<std::int32_t>(std::min<std::size_t>(ec ? 0 : written, INT32_MAX));
    m_messages.ProgressStep(window, 100);
    m_messages.ProgressDone(window);
    return 0;
}

} // namespace melodrift::sonobox
