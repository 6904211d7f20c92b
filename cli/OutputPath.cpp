#include "OutputPath.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "CliError.h"

namespace melodrift::cli {

namespace fs = std::filesystem;

OutputKind OutputKindOf(const std::string& path, bool allowProject)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".mp3")
        return OutputKind::Mp3;
    if (ext == ".wav")
        return OutputKind::Wav;
    if (ext == ".mid" || ext == ".midi")
        return OutputKind::Midi;
    if (ext == ".cpj" && allowProject)
        return OutputKind::Project;
    Fail(kExitUsage, "output '" + path + "' must end in " + (allowProject ? ".mp3, .wav, .mid or .cpj" : ".mp3, .wav or .mid"));
}

const char* OutputKindName(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3: return "MP3";
    case OutputKind::Wav: return "WAV";
    case OutputKind::Midi: return "MIDI";
    case OutputKind::Project: return "project";
    }
    return "";
}

void CheckWritable(const std::string& path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec))
        Fail(kExitOutput, "cannot write " + path + ": it is a folder");
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    if (!fs::is_directory(folder, ec))
        Fail(kExitOutput, "cannot write " + path + ": folder " + folder.string() + " does not exist");
    // access() alone misses read-only mounts; a probe file does not.
    std::string probe = (folder / ".melodrift-write-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        Fail(kExitOutput, "cannot write " + path + ": " + std::strerror(errno));
    ::close(fd);
    ::unlink(probe.c_str());
}

} // namespace melodrift::cli
