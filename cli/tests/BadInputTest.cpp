// Bad input ends in one line on standard error naming the problem, a
// non-zero exit status and no output file, never a crash.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CliRunner.h"
#include "SungTake.h"
#include "WavFile.h"

namespace melodrift::cli::test {
namespace {

using namespace melodrift::testsupport;

namespace fs = std::filesystem;

struct BadCase {
    const char* what;
    std::vector<std::string> args;   // "@name" is a file in the test folder
    int exitCode;
    const char* says;                // part of the error line
};

class BadInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteWav(m_dir.File("good.wav"), ToPcm16(Sing({{60, 1}, {64, 1}, {67, 2}, {65, 1}, {62, 1}, {60, 2}}, 100, 4)));
        WriteWav(m_dir.File("silence.wav"), std::vector<int16_t>(kTakeRate * 8, 0));
        WriteWav(m_dir.File("short.wav"), ToPcm16(Sing({{64, 1}}, 100, 0)));   // 0.6 s of voice and a rest
        std::ofstream(m_dir.File("text.wav")) << "these are not samples\n";
        std::ofstream(m_dir.File("empty.wav"));
        std::ofstream(m_dir.File("text.cpj")) << "not a project";
        fs::create_directory(m_dir.File("folder.mp3"));
    }

    std::vector<std::string> Expand(const std::vector<std::string>& args)
    {
        std::vector<std::string> out;
        for (const std::string& a : args)
            out.push_back(a[0] == '@' ? m_dir.File(a.substr(1)) : a);
        return out;
    }

    void Check(const BadCase& c)
    {
        SCOPED_TRACE(c.what);
        const auto before = m_dir.Files();
        const RunResult r = RunCli(Expand(c.args));
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        // Progress lines may precede it; the error is the last line and the
        // only one naming the program.
        const std::vector<std::string> lines = Lines(r.err);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("melodrift-cli: ", 0), 0u) << r.err;
        EXPECT_NE(lines.back().find(c.says), std::string::npos) << lines.back();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.find("melodrift-cli") != std::string::npos; }),
                  1);
        EXPECT_EQ(m_dir.Files(), before) << "nothing written, nothing half-written";
    }

    TempFolder m_dir;
};

std::vector<std::string> Compose(const std::string& take, const std::string& more = "")
{
    std::vector<std::string> args = {"compose", take, "--tempo", "100", "--metre", "4/4", "--style", "2001",
                                     "-o", "@out.mp3"};
    if (!more.empty())
        args.push_back(more);
    return args;
}

TEST_F(BadInput, TakesThatCannotBeUsed)
{
    const std::vector<BadCase> cases = {
        {"missing file", Compose("@nowhere.wav"), 3, "no such file"},
        {"not audio", Compose("@text.wav"), 3, "not an audio file"},
        {"empty file", Compose("@empty.wav"), 3, "not an audio file"},
        {"a folder", Compose("@folder.mp3"), 3, "not a file"},
        {"silence", Compose("@silence.wav"), 3, "no sung notes"},
        {"shorter than a bar", Compose("@short.wav"), 3, "shorter than one bar"},
        {"recognize silence", {"recognize", "@silence.wav", "--tempo", "100", "--metre", "4/4"}, 3, "no sung notes"},
    };
    for (const BadCase& c : cases)
        Check(c);
}

TEST_F(BadInput, ArgumentsOutOfRange)
{
    const std::vector<BadCase> cases = {
        {"unknown style", {"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style", "polka-dots", "-o", "@o.mp3"}, 2, "unknown style 'polka-dots'"},
        {"style of another metre", {"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style", "2101", "-o", "@o.mp3"}, 2, "is in 3/4"},
        {"tempo too fast", {"compose", "@good.wav", "--tempo", "300", "--metre", "4/4", "--style", "2001", "-o", "@o.mp3"}, 2, "tempo 300 is out of range"},
        {"tempo not a number", {"recognize", "@good.wav", "--tempo", "fast", "--metre", "4/4"}, 2, "tempo 'fast'"},
        {"metre", {"recognize", "@good.wav", "--tempo", "100", "--metre", "5/4"}, 2, "metre '5/4'"},
        {"missing tempo", {"recognize", "@good.wav", "--metre", "4/4"}, 2, "missing --tempo"},
        {"key", Compose("@good.wav", "--key=H"), 2, "key 'H'"},
        {"section the take lacks", Compose("@good.wav", "--form=A B C D E F G H i1"), 2, "sections A to"},
        {"bad form", Compose("@good.wav", "--form=verse chorus"), 2, "song form entry 'verse'"},
        {"output type", {"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style", "2001", "-o", "@o.ogg"}, 2, "must end in"},
        {"render to a project", {"render", "@text.cpj", "-o", "@o.cpj"}, 2, "must end in .mp3, .wav or .mid"},
    };
    for (const BadCase& c : cases)
        Check(c);
}

TEST_F(BadInput, OutputsThatCannotBeWritten)
{
    const std::vector<BadCase> cases = {
        {"missing folder", {"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style", "2001", "-o", "@no/such/song.mp3"}, 4, "does not exist"},
        {"folder as output", {"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style", "2001", "-o", "@folder.mp3"}, 4, "it is a folder"},
        {"unwritable place", {"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style", "2001", "-o", "/proc/song.wav"}, 4, "cannot write /proc/song.wav"},
        {"render unwritable", {"render", "@text.cpj", "-o", "/proc/song.mid"}, 4, "cannot write"},
        {"demo into a file", {"demo", "-o", "@text.cpj"}, 4, "cannot create folder"},
    };
    for (const BadCase& c : cases)
        Check(c);
}

TEST_F(BadInput, ProjectsThatCannotBeOpened)
{
    // A real project cut short must be refused as a whole.
    const RunResult made = RunCli(Expand({"compose", "@good.wav", "--tempo", "100", "--metre", "4/4", "--style",
                                          "2001", "-o", "@whole.cpj"}));
    ASSERT_EQ(made.exitCode, 0) << made.err;
    {
        // The desktop program must find the timbre library the project names.
        std::ifstream in(m_dir.File("whole.cpj"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(bytes.find("Pop default.sf2"), std::string::npos) << "the project names no timbre library";
    }
    const auto size = fs::file_size(m_dir.File("whole.cpj"));
    fs::copy_file(m_dir.File("whole.cpj"), m_dir.File("cut.cpj"));
    fs::resize_file(m_dir.File("cut.cpj"), size / 2);
    const std::vector<BadCase> cases = {
        {"not a project", {"render", "@text.cpj", "-o", "@o.wav"}, 3, "text.cpj: the project"},
        {"cut short", {"render", "@cut.cpj", "-o", "@o.wav"}, 3, "cut.cpj: the project"},
        {"missing", {"render", "@gone.cpj", "-o", "@o.wav"}, 3, "no such file"},
    };
    for (const BadCase& c : cases)
        Check(c);
}

} // namespace
} // namespace melodrift::cli::test
