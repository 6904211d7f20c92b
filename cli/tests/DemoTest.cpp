// The demo: the shipped sample take becomes a song in the default style.

#include <gtest/gtest.h>

#include "AudioReadBack.h"
#include "CliRunner.h"
#include "MidiSummary.h"

namespace melodrift::cli::test {
namespace {

using namespace melodrift::testsupport;

TEST(Demo, SampleTakeIsRecognisedAndBecomesMidiWavMp3AndAProject)
{
    TempFolder dir;
    const RunResult r = RunCli({"demo", "-o", dir.File("out")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The notes the generator sings, in order, and their key.
    const std::vector<std::string> sung = {"D4", "G4", "B4", "A4", "G4", "A4", "B4", "C5", "B4", "A4", "G4",
                                           "#F4", "A4", "D5", "rest", "B4", "D5", "C5", "A4", "B4", "A4", "G4",
                                           "C5", "B4", "A4", "#F4", "G4", "rest"};
    std::vector<std::string> found;
    for (const std::string& line : Lines(r.out)) {
        char name[16];
        double beats = 0;
        if (line.rfind("  ", 0) == 0 && std::sscanf(line.c_str(), " %15s %lf", name, &beats) == 2 && beats > 0)
            found.push_back(name);
    }
    EXPECT_EQ(found, sung) << r.out;
    EXPECT_NE(r.out.find("Key: G\n"), std::string::npos);
    EXPECT_NE(r.out.find("Bars: 8 (4/4)"), std::string::npos);
    EXPECT_NE(r.out.find("Chords per bar:\n  | G |"), std::string::npos) << "the tune opens on its tonic";
    EXPECT_NE(r.out.find("Sections:\n  A: bars 1-"), std::string::npos);
    const int bars = ReportedFormBars(r.out);
    ASSERT_GT(bars, 16) << "two passes of the melody and the segments";

    const double form = bars * BarSeconds(0, 96);
    const MidiSummary midi = SummariseMidi(dir.File("out/sample-song.mid"));
    ASSERT_TRUE(midi.ok) << midi.error;
    EXPECT_NEAR(midi.seconds, form, BarSeconds(0, 96));
    const AudioInfo wav = ReadWavInfo(dir.File("out/sample-song.wav"));
    const AudioInfo mp3 = ReadMp3Info(dir.File("out/sample-song.mp3"));
    ASSERT_TRUE(wav.ok);
    ASSERT_TRUE(mp3.ok);
    EXPECT_GE(wav.seconds, form - 0.05);
    EXPECT_LE(wav.seconds, form + 4.0);
    EXPECT_NEAR(mp3.seconds, wav.seconds, 0.2);
    EXPECT_NE(r.out.find(dir.File("out/sample-song.cpj")), std::string::npos) << "it says where the files went";
}

TEST(Demo, DefaultFolderIsCreatedInTheWorkingFolder)
{
    TempFolder dir;
    const RunResult r = RunCli({"demo"}, dir.Root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"melodrift-demo"});
    EXPECT_TRUE(ReadWavInfo(dir.File("melodrift-demo/sample-song.wav")).ok);
}

} // namespace
} // namespace melodrift::cli::test
