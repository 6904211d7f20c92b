#include "ProgressDisplay.h"

#include <algorithm>
#include <unistd.h>

namespace melodrift::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr int kLineStep = 25;   // plain output: a line each quarter
} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}

ProgressDisplay ProgressDisplay::ForStream(std::FILE* out)
{
    return ProgressDisplay(out, ::isatty(::fileno(out)) == 1);
}

void ProgressDisplay::Begin(const std::string& step)
{
    End();
    m_step = step;
    m_running = true;
    m_shown = -1;
    if (m_terminal)
        DrawBar(0);
    else
        std::fprintf(m_out, "%s ...\n", step.c_str());
    std::fflush(m_out);
}

void ProgressDisplay::Update(int percent)
{
    if (!m_running)
        return;
    percent = std::clamp(percent, 0, 100);
    if (m_terminal) {
        if (percent != m_shown)
            DrawBar(percent);
    } else {
        // Lines only move forward, whatever order the reports come in; the
        // full quarter is left to End.
        const int quarter = percent / kLineStep * kLineStep;
        if (quarter > std::max(m_shown, 0) && quarter < 100) {
            std::fprintf(m_out, "%s %d%%\n", m_step.c_str(), quarter);
            m_shown = quarter;
        }
    }
    std::fflush(m_out);
}

void ProgressDisplay::End()
{
    if (!m_running)
        return;
    if (m_terminal) {
        DrawBar(100);
        std::fputc('\n', m_out);
    } else {
        std::fprintf(m_out, "%s 100%%\n", m_step.c_str());
    }
    m_running = false;
    std::fflush(m_out);
}

void ProgressDisplay::DrawBar(int percent)
{
    const int filled = percent * kBarWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(m_out, "\r%s [%s] %3d%%", m_step.c_str(), bar.c_str(), percent);
    m_shown = percent;
}

} // namespace melodrift::cli
