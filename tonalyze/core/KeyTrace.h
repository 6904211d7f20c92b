// The key analysis trace: collected as text and appended to
// $MELODRIFT_TRACE_DIR/KeyAnalysis.txt when that folder is configured.
#pragma once

#include <string>

namespace tonalyze {

class KeyTrace {
public:
    KeyTrace();
    ~KeyTrace();
    KeyTrace(const KeyTrace&) = delete;
    KeyTrace& operator=(const KeyTrace&) = delete;

    bool enabled() const { return !m_path.empty(); }
    std::string& text() { return m_text; }

    static constexpr const char* kFileName = "KeyAnalysis.txt";

private:
    std::string m_path;
    std::string m_text;
};

}  // namespace tonalyze
