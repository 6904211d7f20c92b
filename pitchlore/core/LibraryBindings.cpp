#include "LibraryBindings.h"

#include "MelodriftPlatform.h"

#include <cerrno>
#include <string>

namespace pitchlore {

namespace {

void* load(const char* name)
{
    char error[512] = "";
    errno = 0;
    void* handle = MDP_LoadLibrary(name, error, sizeof error);
    if (handle == nullptr) {
        int code = errno;
        char file[256];
        MDP_LibraryFileName(name, file, sizeof file);
        MDP_DebugOutput("Load %s error! errcode=%d %s\n", file, code, error);
    }
    return handle;
}

template <typename Fn>
Fn symbol(void* library, const char* name)
{
    return reinterpret_cast<Fn>(MDP_GetSymbol(library, name));
}

}  // namespace

LibraryBindings::~LibraryBindings()
{
    releaseTonalyze();
    // Tunescan stays loaded for the life of the process.
}

void LibraryBindings::bindTonalyze()
{
    if (m_tonalyze != nullptr || m_keyAnalysis != nullptr)
        return;
    m_tonalyze = load("Tonalyze.dll");
    if (m_tonalyze == nullptr)
        return;
    m_keyAnalysis = symbol<KeyAnalysisFn>(m_tonalyze, "MA_KeyAnalysis");
    if (m_keyAnalysis == nullptr)
        MDP_DebugOutput("Get KeyAnalysis function error!\n");
}

void LibraryBindings::releaseTonalyze()
{
    MDP_FreeLibrary(m_tonalyze);
    m_tonalyze = nullptr;
    m_keyAnalysis = nullptr;
}

void LibraryBindings::bindTunescan()
{
    if (m_tunescan != nullptr || m_retriveMelody != nullptr)
        return;
    m_tunescan = load("Tunescan.dll");
    if (m_tunescan == nullptr)
        return;
    m_retriveMelody = symbol<RetriveMelodyFn>(m_tunescan, "SM_RetriveMelody");
    if (m_retriveMelody == nullptr)
        MDP_DebugOutput("Get RetriveMelody function error!\n");
    m_getMelodyFile = symbol<GetMelodyFileFn>(m_tunescan, "SM_GetMelodyFile");
    if (m_getMelodyFile == nullptr)
        MDP_DebugOutput("Get SM_GetMelodyFile function error!\n");
}

}  // namespace pitchlore
