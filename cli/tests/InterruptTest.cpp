// Ctrl-C at any moment ends the program without leaving an output file or
// a temporary one behind.

#include <gtest/gtest.h>

#include <csignal>

#include "CliRunner.h"
#include "SungTake.h"
#include "WavFile.h"

namespace melodrift::cli::test {
namespace {

using namespace melodrift::testsupport;

// A minute of a simple tune: its export runs long enough to be interrupted.
std::vector<SungNote> MinuteTune()
{
    std::vector<SungNote> tune;
    const int steps[] = {60, 62, 64, 65, 67, 65, 64, 62};
    for (int i = 0; i < 96; ++i)
        tune.push_back({steps[i % 8], 1});
    return tune;
}

TEST(Interrupt, CtrlCInAnyStepEndsWithNothingWritten)
{
    TempFolder dir;
    WriteWav(dir.File("take.wav"), ToPcm16(Sing(MinuteTune(), 100, 4)));
    // The moment named by the progress line each interruption follows.
    const std::pair<const char*, const char*> cases[] = {
        {"Composing", "song.wav"}, {"Writing WAV", "song.wav"}, {"Writing MP3", "song.mp3"}};
    for (const auto& [moment, output] : cases) {
        SCOPED_TRACE(moment);
        CliProcess cli({"compose", dir.File("take.wav"), "--tempo", "100", "--metre", "4/4", "--style", "2001",
                        "-o", dir.File(output)});
        ASSERT_TRUE(cli.WaitForError(moment, 60));
        cli.Signal(SIGINT);
        const RunResult r = cli.Finish();
        EXPECT_EQ(r.exitCode, 130) << r.err;
        EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"take.wav"}) << "no song, no temporary file";
    }
}

} // namespace
} // namespace melodrift::cli::test
