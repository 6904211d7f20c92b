#include "DataDir.h"

#include <filesystem>
#include <system_error>

namespace melodrift::platform {

std::string FindDataDir(const std::string& libraryDir)
{
    namespace fs = std::filesystem;
    const fs::path libs = libraryDir;
    std::error_code ec;
    for (const fs::path& candidate : {libs, libs / "../../share/melodrift", libs / "../share/melodrift"}) {
        if (!fs::is_directory(candidate / "styles", ec) && !fs::is_directory(candidate / "Fonts", ec))
            continue;
        std::string found = candidate.lexically_normal().string();
        while (found.size() > 1 && found.back() == '/')
            found.pop_back();
        return found;
    }
    return libraryDir;
}

} // namespace melodrift::platform
