#include "LogLines.h"

#include "MelodriftPlatform.h"

namespace melodrift::testsupport {

LogLines::LogLines() { MDP_SetDebugSink(&LogLines::Collect, this); }

LogLines::~LogLines() { MDP_SetDebugSink(nullptr, nullptr); }

void LogLines::Collect(const char* line, void* context)
{
    auto* self = static_cast<LogLines*>(context);
    std::lock_guard<std::mutex> guard(self->m_lock);
    self->m_lines.emplace_back(line);
}

std::vector<std::string> LogLines::Lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

int LogLines::Count(const std::string& text) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    int n = 0;
    for (const std::string& line : m_lines)
        n += line.find(text) != std::string::npos;
    return n;
}

void LogLines::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.clear();
}

} // namespace melodrift::testsupport
