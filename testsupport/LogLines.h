#pragma once

// Collects the lines the libraries write to the debug log (MDP_DebugOutput)
// while alive; safe to feed from any thread.

#include <mutex>
#include <string>
#include <vector>

namespace melodrift::testsupport {

class LogLines {
public:
    LogLines();
    ~LogLines();
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;

    std::vector<std::string> Lines() const;
    // Whether some line holds text, and how many do.
    bool Contains(const std::string& text) const { return Count(text) > 0; }
    int Count(const std::string& text) const;
    void Clear();

private:
    static void Collect(const char* line, void* context);

    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};

} // namespace melodrift::testsupport
