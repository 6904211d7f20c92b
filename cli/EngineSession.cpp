#include "EngineSession.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "AppSession.h"
#include "CliError.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "ProgressDisplay.h"
#include "Sonobox.h"

namespace melodrift::cli {

namespace {

const char* BindingProblem(int code)
{
    switch (code) {
    case 1: return "cannot load the audio engine library (libSonobox.so)";
    case 2: return "the audio engine library lacks an entry point";
    case 3: return "cannot load the style composer library (libArrangix.so)";
    case 4: return "the style composer cannot start (are libTonalyze.so and libPatbank.so built?)";
    case 5: return "cannot load the online service library (libTidelink.so)";
    case 6: return "the online service library lacks an entry point";
    default: return "cannot load the engine libraries";
    }
}

} // namespace

EngineSession::EngineSession()
{
    // Headless: no sound card is needed unless the user asks for a device.
    ::setenv("MELODRIFT_AUDIO", "null", 0);
    MDP_SetMessageDispatcher(&EngineSession::Post, &EngineSession::Send, this);
    const int bound = BindEngineLibraries();
    if (bound != 0) {
        MDP_SetMessageDispatcher(nullptr, nullptr, nullptr);
        Fail(kExitFailure, BindingProblem(bound));
    }
    const std::string engineDir = EngineDirectory(ApplicationDirectory());
    if (Engines().mm.MM_InitialObjects(Window(), engineDir.c_str()) != 0) {
        Engines().sm.SM_Release();
        MDP_SetMessageDispatcher(nullptr, nullptr, nullptr);
        Fail(kExitFailure, "the audio engine cannot start (is the default sound font in " + engineDir + "/Fonts?)");
    }
    m_engineCreated = true;
}

EngineSession::~EngineSession()
{
    if (m_engineCreated) {
        Engines().mm.MM_DestroyObjects();
        Engines().sm.SM_Release();
    }
    MDP_SetMessageDispatcher(nullptr, nullptr, nullptr);
    // The libraries stay loaded until the process ends: the synthesiser keeps
    // process-wide caches that must not outlive their code.
}

void EngineSession::ShowProgressOn(ProgressDisplay* display)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_progress = display;
}

std::optional<TakeReport> EngineSession::TakeRecognised()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return std::exchange(m_take, std::nullopt);
}

int EngineSession::Post(MDP_Window, uint32_t message, intptr_t wParam, intptr_t lParam, void* context)
{
    static_cast<EngineSession*>(context)->Receive(message, wParam, lParam);
    return 1;
}

intptr_t EngineSession::Send(MDP_Window, uint32_t message, intptr_t wParam, intptr_t lParam, void* context)
{
    static_cast<EngineSession*>(context)->Receive(message, wParam, lParam);
    return 0;
}

void EngineSession::Receive(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (message == UM_PROGRESS_STEP && m_progress) {
        m_progress->Update(static_cast<int>(wParam));
    } else if (message == UM_TAKE_RECOGNISED) {
        m_take = TakeReport{static_cast<int>(wParam & 0xFFFF), static_cast<int>(lParam & 0xFFFF),
                            static_cast<int>((lParam >> 16) & 0xFFFF)};
    }
}

} // namespace melodrift::cli
