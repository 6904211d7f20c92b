#include "MelodriftPlatform.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string platformLibraryDir()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&MDP_LibraryDir), &info) != 0 && info.dli_fname != nullptr)
        return folderOf(info.dli_fname);
    return ".";
}

std::string executableDir()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = '\0';
    return folderOf(buf);
}

void copyOut(const std::string& text, char* out, size_t cap)
{
    if (out == nullptr || cap == 0)
        return;
    size_t n = text.size() < cap - 1 ? text.size() : cap - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

std::string fileNameFor(const char* name)
{
    std::string base = name != nullptr ? name : "";
    // Keep any folder part; only the file name changes shape.
    auto slash = base.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? base : base.substr(slash + 1);
    auto endsWith = [&](const char* suffix) {
        size_t n = std::strlen(suffix);
        return file.size() >= n && strncasecmp(file.c_str() + file.size() - n, suffix, n) == 0;
    };
    if (endsWith(".so"))
        return dir + file;
    if (endsWith(".dll"))
        file.resize(file.size() - 4);
    if (file.rfind("lib", 0) != 0)
        file = "lib" + file;
    return dir + file + ".so";
}

} // namespace

extern "C" {

size_t MDP_LibraryFileName(const char* name, char* out, size_t cap)
{
    std::string file = fileNameFor(name);
    copyOut(file, out, cap);
    return file.size();
}

const char* MDP_LibraryDir(void)
{
    static const std::string dir = platformLibraryDir();
    return dir.c_str();
}

void* MDP_LoadLibrary(const char* name, char* error, size_t errorCap)
{
    if (name == nullptr || *name == '\0') {
        copyOut("no library name", error, errorCap);
        return nullptr;
    }
    const std::string file = fileNameFor(name);
    std::string reasons;
    auto attempt = [&](const std::string& path) -> void* {
        errno = 0;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            if (!reasons.empty())
                reasons += "; ";
            reasons += "errno " + std::to_string(errno) + ": " + (why != nullptr ? why : path);
        }
        return handle;
    };
    if (file.find('/') != std::string::npos)
        if (void* h = attempt(file))
            return h;
    if (file.find('/') == std::string::npos) {
        if (void* h = attempt(std::string(MDP_LibraryDir()) + "/" + file))
            return h;
        std::string exeDir = executableDir();
        if (!exeDir.empty() && exeDir != MDP_LibraryDir())
            if (void* h = attempt(exeDir + "/" + file))
                return h;
        if (void* h = attempt(file))
            return h;
    }
    copyOut(reasons, error, errorCap);
    return nullptr;
}

void* MDP_GetSymbol(void* library, const char* symbol)
{
    if (library == nullptr || symbol == nullptr)
        return nullptr;
    return dlsym(library, symbol);
}

void MDP_FreeLibrary(void* library)
{
    if (library != nullptr)
        dlclose(library);
}

} // extern "C"
