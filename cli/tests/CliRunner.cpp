#include "CliRunner.h"

#include <algorithm>
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

RunResult RunCli(const std::vector<std::string>& args, const std::string& workDir)
{
    TempDir capture;
    const std::string outPath = capture.Path("out"), errPath = capture.Path("err");
    const std::string program = Program();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::chdir(workDir.c_str()) != 0)
            ::_exit(127);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    RunResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = ReadAll(outPath);
    result.err = ReadAll(errPath);
    return result;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/cli_e2e_XXXXXX";
    if (::mkdtemp(pattern))
        m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
}

std::vector<std::string> TempDir::Files() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
