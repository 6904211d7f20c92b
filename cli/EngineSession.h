#pragma once

// The engine libraries for one run of the program: bound by name from the
// bin folder, the audio engine created without sound hardware, and the
// engine's posted messages caught for progress and recognition reports.

#include <cstdint>
#include <mutex>
#include <optional>

#include "MelodriftPlatform.h"

namespace melodrift::cli {

class ProgressDisplay;

struct TakeReport {
    int notes = 0;
    int leadInBars = 0;
    int validBars = 0;
};

class EngineSession {
public:
    // Throws CliError when a library cannot be loaded or the engine fails.
    EngineSession();
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // The window handle handed to the engine; its messages land here.
    MDP_Window Window() { return &m_windowToken; }
    // Progress reports of the engine go to display (nullptr: nowhere).
    void ShowProgressOn(ProgressDisplay* display);
    // The last UM_TAKE_RECOGNISED, if any arrived since the last call.
    std::optional<TakeReport> TakeRecognised();

private:
    static int Post(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam, void* context);
    static intptr_t Send(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam, void* context);
    void Receive(uint32_t message, intptr_t wParam, intptr_t lParam);

    int m_windowToken = 0;
    std::mutex m_lock;
    ProgressDisplay* m_progress = nullptr;
    std::optional<TakeReport> m_take;
    bool m_engineCreated = false;
};

} // namespace melodrift::cli
