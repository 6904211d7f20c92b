#pragma once

// Runs the built melodrift-cli as a user would and collects what it said.

#include "TempFolder.h"

#include <string>
#include <vector>

namespace melodrift::cli::test {

struct RunResult {
    int exitCode = -1;        // -1: did not exit normally (a crash)
    std::string out;
    std::string err;
};

// The program from MELODRIFT_BIN_DIR, run in workDir.
RunResult RunCli(const std::vector<std::string>& args, const std::string& workDir = ".");

using testsupport::TempFolder;


// The program running in the background, its output collected in files.
class CliProcess {
public:
    explicit CliProcess(const std::vector<std::string>& args, const std::string& workDir = ".");
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;
    // Waits (up to seconds) until standard error holds text; false on timeout.
    bool WaitForError(const std::string& text, double seconds);
    void Signal(int signal);
    // Waits for the end; the result as RunCli gives it.
    RunResult Finish();

private:
    TempFolder m_capture;
    int m_pid = -1;
};

// Lines of a text, without the line ends.
std::vector<std::string> Lines(const std::string& text);

// The source tree's sample take.
std::string SampleTake();

} // namespace melodrift::cli::test

namespace melodrift::cli::test {

// Bars of the song form the program reported ("Song form: ... (N bars)"); -1
// when it reported none.
int ReportedFormBars(const std::string& out);
// Seconds of a bar: metre code 0..3 at a tempo.
double BarSeconds(int metre, int tempo);

} // namespace melodrift::cli::test
