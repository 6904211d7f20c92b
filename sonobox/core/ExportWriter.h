#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "MelodriftPlatform.h"
#include "WindowMessages.h"

namespace melodrift::sonobox {

// How an export reaches its file: written beside the target under a name of
// its own and renamed over it when complete, so the chosen name never holds a
// half-written file and an old file there survives a failure; progress goes
// to the window that asked, and another thread may cancel.
class ExportWriter {
public:
    // done of total written; false asks the writer to stop (cancelled).
    using Progress = std::function<bool(std::size_t done, std::size_t total)>;
    // Writes the export into temporary; 0 or an MM_ERR_* code.
    using Writer = std::function<int(const std::string& temporary, const Progress& progress)>;

    explicit ExportWriter(const WindowMessages& messages) : m_messages(messages) {}

    // Any thread, while Write runs.
    void Cancel() { m_cancel = true; }
    bool Cancelled() const { return m_cancel.load(); }
    // A new export: a cancel of an earlier one no longer counts.
    void Begin() { m_cancel = false; }
    // Ends the export with code (not 0): *result says it and so does a
    // message, unless the user cancelled (the dialog has closed then).
    int Fail(MDP_Window window, int code, std::int32_t* result) const;
    // Runs write and puts its file at path; 0 with *result the bytes
    // written, or a failure code as Fail reports it.
    int Write(MDP_Window window, const std::string& path, std::int32_t* result, const Writer& write);

private:
    const WindowMessages& m_messages;
    std::atomic<bool> m_cancel{false};
};

} // namespace melodrift::sonobox
