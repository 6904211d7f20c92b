#include "WindowMessages.h"

#include <algorithm>
#include <cmath>

#include "Sonobox.h"

namespace melodrift::sonobox {

void WindowMessages::TakeRecognised(MDP_Window window, const Recognition& r, int latencyMs) const
{
    auto clamp16 = [](int v) { return static_cast<intptr_t>(std::clamp(v, 0, 0xFFFF)); };
    intptr_t wParam = clamp16(r.pitchedNotes) | (clamp16(latencyMs) << 16);
    intptr_t lParam = clamp16(r.leadInBars) | (clamp16(r.barCount) << 16);
    MDP_PostMessage(Target(window), UM_TAKE_RECOGNISED, wParam, lParam);
}

void WindowMessages::EngineStopped(MDP_Window window, bool deviceLost) const
{
    MDP_PostMessage(Target(window), UM_ENGINE_STOPPED, deviceLost ? MM_STOPPED_DEVICE_LOST : 0, 0);
}

void WindowMessages::RecordVolume(MDP_Window window, float volume) const
{
    MDP_PostMessage(Target(window), UM_RECORD_VOLUME, static_cast<intptr_t>(std::lround(volume * 100)), 0);
}

void WindowMessages::ProgressStep(MDP_Window window, int percent) const
{
    MDP_PostMessage(window, UM_PROGRESS_STEP, percent, 0);
}

void WindowMessages::ProgressFailed(MDP_Window window, int code) const
{
    MDP_PostMessage(window, UM_PROGRESS_FAILED, code, 0);
}

void WindowMessages::ProgressDone(MDP_Window window) const
{
    MDP_PostMessage(window, UM_PROGRESS_DONE, 0, 0);
}

} // namespace melodrift::sonobox
