#pragma once

// Progress of the long steps: a bar redrawn in place on a terminal, plain
// lines (one per quarter) when the output goes to a file or a pipe.

#include <cstdio>
#include <string>

namespace melodrift::cli {

class ProgressDisplay {
public:
    // out: where progress goes (standard error in the program).
    ProgressDisplay(std::FILE* out, bool terminal);
    // Picks the kind from whether out is a terminal.
    static ProgressDisplay ForStream(std::FILE* out);

    void Begin(const std::string& step);
    void Update(int percent);
    // Ends the running step (a no-op when none runs).
    void End();
    bool Terminal() const { return m_terminal; }

private:
    void DrawBar(int percent);

    std::FILE* m_out;
    bool m_terminal;
    bool m_running = false;
    std::string m_step;
    int m_shown = -1;        // last percentage shown
};

} // namespace melodrift::cli
