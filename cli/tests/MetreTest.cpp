// Synthesised takes in all four metres through recognition, composition and
// export.

#include <gtest/gtest.h>

#include <cstdlib>

#include "AudioReadBack.h"
#include "CliRunner.h"
#include "MidiSummary.h"
#include "SungTake.h"
#include "WavFile.h"

namespace melodrift::cli::test {
namespace {

using namespace melodrift::testsupport;

struct MetreCase {
    const char* metre;
    int code;
    int tempo;
    const char* key;          // as the program names it
    std::vector<SungNote> tune;
};

// First style the program lists for a metre.
std::string FirstStyle(const char* metre)
{
    const std::vector<std::string> rows = Lines(RunCli({"styles", "--metre", metre}).out);
    return rows.size() > 1 ? rows[1].substr(0, rows[1].find(' ')) : "";
}

TEST(Metres, TakesInEveryMetreBecomeSongsOfTheirFormsLength)
{
    const std::vector<MetreCase> cases = {
        {"4/4", 0, 100, "C", {{60, 1}, {62, 1}, {64, 1}, {65, 1}, {67, 2}, {65, 1}, {64, 1},
                              {62, 1}, {64, 1}, {62, 1}, {60, 1}, {64, 1}, {67, 1}, {72, 2}}},
        {"3/4", 1, 120, "F", {{65, 1}, {69, 1}, {72, 1}, {70, 2}, {69, 1}, {67, 1}, {69, 1}, {70, 1},
                              {72, 3}, {70, 1}, {69, 1}, {67, 1}, {65, 3}}},
        {"2/4", 2, 110, "D", {{62, 1}, {66, 1}, {69, 1}, {66, 1}, {67, 1}, {71, 1}, {69, 2}, {66, 1},
                              {64, 1}, {62, 2}, {61, 1}, {64, 1}, {62, 2}}},
        {"6/8", 3, 80, "G", {{67, 1}, {71, 1}, {74, 1}, {72, 1}, {71, 1}, {69, 1}, {66, 1}, {69, 1},
                             {72, 1}, {71, 1.5}, {69, 1.5}, {67, 3}}},
    };
    for (const MetreCase& c : cases) {
        SCOPED_TRACE(c.metre);
        TempFolder dir;
        static const int kBeats[] = {4, 3, 2, 3};
        WriteWav(dir.File("take.wav"), ToPcm16(Sing(c.tune, c.tempo, kBeats[c.code])));
        const std::string style = FirstStyle(c.metre);
        ASSERT_FALSE(style.empty());
        const std::string tempo = std::to_string(c.tempo);
        const RunResult r = RunCli({"compose", dir.File("take.wav"), "--tempo", tempo, "--metre", c.metre,
                                    "--style", style, "-o", dir.File("song.wav")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(std::string(", key ") + c.key + "\n"), std::string::npos) << r.out;
        const double form = ReportedFormBars(r.out) * BarSeconds(c.code, c.tempo);
        const AudioInfo wav = ReadWavInfo(dir.File("song.wav"));
        ASSERT_TRUE(wav.ok);
        EXPECT_GE(wav.seconds, form - 0.05);
        EXPECT_LE(wav.seconds, form + 4.0);

        const RunResult m = RunCli({"compose", dir.File("take.wav"), "--tempo", tempo, "--metre", c.metre,
                                    "--style", style, "-o", dir.File("song.mid")});
        ASSERT_EQ(m.exitCode, 0) << m.err;
        const MidiSummary midi = SummariseMidi(dir.File("song.mid"));
        ASSERT_TRUE(midi.ok) << midi.error;
        EXPECT_GT(midi.NoteOns(), 0);
        EXPECT_NEAR(midi.seconds, form, BarSeconds(c.code, c.tempo));
    }
}

} // namespace
} // namespace melodrift::cli::test
