#pragma once

#include "MelodriftPlatform.h"
#include "TakeAnalyser.h"

namespace melodrift::sonobox {

// What the engine tells the program's windows. Messages about a run go to
// the window that started it, or to the main window when it named none;
// progress goes to the window that asked for the export.
class WindowMessages {
public:
    explicit WindowMessages(MDP_Window mainWindow) : m_mainWindow(mainWindow) {}

    void TakeRecognised(MDP_Window window, const Recognition& recognition, int latencyMs) const;
    // deviceLost: the device stopped delivering rather than the run ending.
    void EngineStopped(MDP_Window window, bool deviceLost) const;
    // volume 0..1, said in per cent.
    void RecordVolume(MDP_Window window, float volume) const;
    void ProgressStep(MDP_Window window, int percent) const;
    void ProgressFailed(MDP_Window window, int code) const;
    void ProgressDone(MDP_Window window) const;

private:
    MDP_Window Target(MDP_Window window) const { return window ? window : m_mainWindow; }

    MDP_Window m_mainWindow;
};

} // namespace melodrift::sonobox
