#include "CliRunner.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace melodrift::cli::test {

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Program()
{
    const char* bin = std::getenv("MELODRIFT_BIN_DIR");
    return std::string(bin ? bin : "bin") + "/melodrift-cli";
}

} // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, const std::string& workDir)
{
    const std::string outPath = m_capture.File("out"), errPath = m_capture.File("err");
    const std::string program = Program();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::chdir(workDir.c_str()) != 0)
            ::_exit(127);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
}

CliProcess::~CliProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool CliProcess::WaitForError(const std::string& text, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll(m_capture.File("err")).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void CliProcess::Signal(int signal)
{
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

RunResult CliProcess::Finish()
{
    RunResult result;
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    m_pid = -1;
    result.out = ReadAll(m_capture.File("out"));
    result.err = ReadAll(m_capture.File("err"));
    return result;
}

RunResult RunCli(const std::vector<std::string>& args, const std::string& workDir)
{
    return CliProcess(args, workDir).Finish();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string SampleTake()
{
    const char* source = std::getenv("MELODRIFT_SOURCE_DIR");
    return std::string(source ? source : CLI_SOURCE_ROOT) + "/cli/data/sample-take.wav";
}

} // namespace melodrift::cli::test

namespace melodrift::cli::test {

int ReportedFormBars(const std::string& out)
{
    for (const std::string& line : Lines(out)) {
        int bars = 0;
        const size_t open = line.rfind('(');
        if (line.rfind("Song form: ", 0) == 0 && open != std::string::npos &&
            std::sscanf(line.c_str() + open, "(%d bars)", &bars) == 1)
            return bars;
    }
    return -1;
}

double BarSeconds(int metre, int tempo)
{
    static const int kBeats[] = {4, 3, 2, 3};
    return kBeats[metre] * 60.0 / tempo;
}

} // namespace melodrift::cli::test
