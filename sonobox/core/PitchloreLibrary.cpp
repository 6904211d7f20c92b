#include "PitchloreLibrary.h"

#include "MelodriftPlatform.h"

namespace melodrift::sonobox {
namespace {
template <typename Fn>
bool Bind(void* handle, const char* name, Fn& slot)
{
    slot = reinterpret_cast<Fn>(MDP_GetSymbol(handle, name));
    return slot != nullptr;
}
} // namespace

PitchloreLibrary::PitchloreLibrary()
{
    char reason[512] = {};
    m_handle = MDP_LoadLibrary("Pitchlore.dll", reason, sizeof reason);
    if (!m_handle) {
        m_error = reason;
        MDP_DebugOutput("Sonobox: melody recogniser not loaded: %s\n", reason);
        return;
    }
    bool all = Bind(m_handle, "MR_CreateAnalyser", m_create) && Bind(m_handle, "MR_DestroyAnalyser", m_destroy) &&
               Bind(m_handle, "MR_ResetAnalyser", ResetAnalyser) && Bind(m_handle, "MR_FrameAnalysis", FrameAnalysis) &&
               Bind(m_handle, "MR_MelodyAnalysis", MelodyAnalysis) && Bind(m_handle, "MR_GetMelodyInfo", GetMelodyInfo) &&
               Bind(m_handle, "MR_GetMelody", GetMelody) && Bind(m_handle, "MR_GetPitchRevise", GetPitchRevise) &&
               Bind(m_handle, "MR_SaveProject", SaveProject) && Bind(m_handle, "MR_LoadProject", LoadProject) &&
               Bind(m_handle, "MR_LoadAnalysis", LoadAnalysis) && Bind(m_handle, "MR_MidiAnalysis", MidiAnalysis);
    if (!all) {
        m_error = "an MR_ entry point is missing";
        MDP_DebugOutput("Sonobox: melody recogniser lacks an entry point\n");
        return;
    }
    if (m_create() != 0) {
        m_error = "MR_CreateAnalyser failed";
        return;
    }
    m_ready = true;
}

PitchloreLibrary::~PitchloreLibrary()
{
    if (m_ready && m_destroy)
        m_destroy();
    MDP_FreeLibrary(m_handle);
}

} // namespace melodrift::sonobox
