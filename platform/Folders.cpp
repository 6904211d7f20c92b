#include "MelodriftPlatform.h"

#include "DataDir.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

extern "C" size_t MDP_UserDataDir(char* out, size_t cap)
{
    std::string dir;
    if (const char* home = std::getenv("MELODRIFT_HOME"); home != nullptr && *home != '\0')
        dir = home;
    else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0')
        dir = std::string(xdg) + "/Melodrift";
    else if (const char* user = std::getenv("HOME"); user != nullptr && *user != '\0')
        dir = std::string(user) + "/.local/share/Melodrift";
    else
        dir = "/tmp/Melodrift";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (out != nullptr && cap > 0) {
        size_t n = dir.size() < cap - 1 ? dir.size() : cap - 1;
        std::memcpy(out, dir.data(), n);
        out[n] = '\0';
    }
    return dir.size();
}

extern "C" const char* MDP_DataDir(void)
{
    static const std::string dir = melodrift::platform::FindDataDir(MDP_LibraryDir());
    return dir.c_str();
}
