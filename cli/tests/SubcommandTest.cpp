// Each subcommand of the built program on the sample take.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "AudioReadBack.h"
#include "CliRunner.h"
#include "MidiSummary.h"
#include "SungTake.h"
#include "WavFile.h"

namespace melodrift::cli::test {
namespace {

using namespace melodrift::testsupport;

namespace fs = std::filesystem;

constexpr int kSampleTempo = 96;

// Runs python3 on a JSON document and returns the first line it prints.
std::string CheckJson(const std::string& document, const std::string& program)
{
    TempFolder dir;
    const std::string path = dir.File("r.json");
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(document.c_str(), f);
    std::fclose(f);
    const std::string check = "/usr/bin/python3 -c \"import json,sys; d=json.load(open(sys.argv[1])); " + program +
                              "\" " + path;
    FILE* pipe = ::popen(check.c_str(), "r");
    char line[512] = "";
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return read ? line : "(no output)";
}

TEST(Subcommands, EveryCommandExplainsItselfAndBadCommandsAreUsageErrors)
{
    for (const char* command : {"styles", "recognize", "compose", "render", "demo"}) {
        const RunResult r = RunCli({command, "--help"});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("Usage: melodrift-cli ") + command, 0), 0u) << r.out;
    }
    EXPECT_EQ(RunCli({"--help"}).exitCode, 0);
    const RunResult none = RunCli({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("Usage:"), std::string::npos);
    const RunResult unknown = RunCli({"sing"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(Lines(unknown.err).size(), 1u) << unknown.err;
    EXPECT_NE(unknown.err.find("unknown command 'sing'"), std::string::npos);
}

TEST(Subcommands, StylesListsEveryMetreAndFiltersByOne)
{
    const RunResult all = RunCli({"styles"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    const std::vector<std::string> lines = Lines(all.out);
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("id", 0), 0u) << "a heading";
    for (const char* metre : {"4/4", "3/4", "2/4", "6/8"}) {
        EXPECT_NE(all.out.find(std::string(" ") + metre + " "), std::string::npos) << metre;
        const RunResult one = RunCli({"styles", "--metre", metre});
        ASSERT_EQ(one.exitCode, 0) << one.err;
        const std::vector<std::string> rows = Lines(one.out);
        ASSERT_GT(rows.size(), 1u) << metre;
        for (size_t i = 1; i < rows.size(); ++i) {
            int id = 0;
            char shown[8] = "";
            ASSERT_EQ(std::sscanf(rows[i].c_str(), "%d %7s", &id, shown), 2) << rows[i];
            EXPECT_GT(id, 0);
            EXPECT_STREQ(shown, metre) << rows[i];
        }
    }
}

TEST(Subcommands, RecognizeReportsNotesKeyAndBarsAsTextAndJson)
{
    const RunResult text = RunCli({"recognize", SampleTake(), "--tempo", "96", "--metre", "4/4"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Key: G\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Bars: 8 (4/4)\n"), std::string::npos);
    EXPECT_NE(text.out.find("  D4    1\n  G4    1\n  B4    1\n  A4    1\n  G4    1.5\n  A4    0.5\n"),
              std::string::npos)
        << "the first bars as sung";

    const RunResult json = RunCli({"recognize", SampleTake(), "--tempo=96", "--metre=4/4", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    // An independent parser checks the document and sums the lengths.
    const std::string line = CheckJson(json.out, "print(d['key'], d['bars'], d['metre'], sum(n['beats'] for n in d['notes']), "
                                                 "len([n for n in d['notes'] if n['midi'] is not None]))");
    EXPECT_EQ(line, "G 8 4/4 32.0 26\n") << "eight bars of four beats, 26 sung notes";
}

TEST(Subcommands, RecognizeJsonPlacesNotesInTheFileWithTheLeadInItUsed)
{
    // Starts in beats add up the lengths; starts in seconds count from the
    // file's start, the lead-in included.
    const std::string consistent =
        "n=d['notes']; b=[sum(m['beats'] for m in n[:i]) for i in range(len(n))]; "
        "ok=all(abs(m['startBeats']-b[i])<1e-9 and abs(m['startSeconds']-d['leadInSeconds']-b[i]*60/d['tempo'])<1e-3 "
        "for i,m in enumerate(n)); p=[m for m in n if m['midi'] is not None]; "
        "print(d['leadInBars'], d['leadInSeconds'], ok, ' '.join(m['name'] for m in p[:4]), round(p[0]['startSeconds'],2))";

    // The sample take sings after a bar of silence: that bar is the lead-in.
    const RunResult sample = RunCli({"recognize", SampleTake(), "--tempo", "96", "--metre", "4/4", "--json"});
    ASSERT_EQ(sample.exitCode, 0) << sample.err;
    EXPECT_EQ(CheckJson(sample.out, consistent), "1 2.5 True D4 G4 B4 A4 2.5\n");

    // An imported take that starts singing at once loses none of its notes.
    TempFolder dir;
    const std::string take = dir.File("at-once.wav");
    WriteWav(take, ToPcm16(Sing({{67, 1}, {69, 1}, {71, 2}, {72, 1}, {74, 1}, {76, 2}, {74, 4}}, 110, 0)));
    const RunResult atOnce = RunCli({"recognize", take, "--tempo", "110", "--metre", "4/4", "--json"});
    ASSERT_EQ(atOnce.exitCode, 0) << atOnce.err;
    EXPECT_EQ(CheckJson(atOnce.out, consistent), "0 0 True G4 A4 B4 C5 0\n") << atOnce.out;
}

class ComposeSample : public ::testing::Test {
protected:
    RunResult Compose(const std::string& output, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"compose", SampleTake(), "--tempo", "96", "--metre", "4/4",
                                         "--style", "2001", "-o", m_dir.File(output)};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args);
    }
    double ExpectedSeconds(const RunResult& r) { return ReportedFormBars(r.out) * BarSeconds(0, kSampleTempo); }
    TempFolder m_dir;
};

// The engine lets the last notes ring out after the song form's last bar.
void ExpectSongLength(double seconds, double formSeconds, const std::string& what)
{
    EXPECT_GE(seconds, formSeconds - 0.05) << what;
    EXPECT_LE(seconds, formSeconds + 4.0) << what;
}

TEST_F(ComposeSample, EveryOutputFormatReadsBackWithTheSongFormsLength)
{
    const RunResult mid = Compose("song.mid");
    ASSERT_EQ(mid.exitCode, 0) << mid.err;
    EXPECT_NE(mid.out.find("Notes found: 26 in 8 bars, key G"), std::string::npos) << mid.out;
    EXPECT_NE(mid.out.find("Chords per bar:"), std::string::npos);
    const double form = ExpectedSeconds(mid);
    ASSERT_GT(form, 8 * BarSeconds(0, kSampleTempo)) << "the form repeats the melody";
    const MidiSummary midi = SummariseMidi(m_dir.File("song.mid"));
    ASSERT_TRUE(midi.ok) << midi.error;
    EXPECT_EQ(midi.type, 1);
    EXPECT_GT(midi.tracks.size(), 2u);
    EXPECT_GT(midi.NoteOns(), 50);
    EXPECT_NEAR(midi.seconds, form, BarSeconds(0, kSampleTempo)) << "the accompaniment spans the form";

    ASSERT_EQ(Compose("song.wav").exitCode, 0);
    const AudioInfo wav = ReadWavInfo(m_dir.File("song.wav"));
    ASSERT_TRUE(wav.ok);
    ExpectSongLength(wav.seconds, form, "wav");

    ASSERT_EQ(Compose("song.mp3").exitCode, 0);
    const AudioInfo mp3 = ReadMp3Info(m_dir.File("song.mp3"));
    ASSERT_TRUE(mp3.ok) << "every frame header in order up to the end";
    EXPECT_NEAR(mp3.seconds, wav.seconds, 0.2) << "both exports hold the same mix";

    const RunResult project = Compose("song.cpj");
    ASSERT_EQ(project.exitCode, 0) << project.err;
    const RunResult rendered = RunCli({"render", m_dir.File("song.cpj"), "-o", m_dir.File("again.wav")});
    ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
    EXPECT_EQ(ReportedFormBars(rendered.out), ReportedFormBars(mid.out)) << "the project kept its song form";
    const AudioInfo again = ReadWavInfo(m_dir.File("again.wav"));
    ASSERT_TRUE(again.ok);
    EXPECT_NEAR(again.seconds, wav.seconds, 0.05);
    EXPECT_EQ(m_dir.Files(), (std::vector<std::string>{"again.wav", "song.cpj", "song.mid", "song.mp3", "song.wav"}))
        << "no temporary files are left";
}

TEST_F(ComposeSample, TypedFormAndKeyAreFollowed)
{
    const RunResult r = Compose("form.wav", {"--form", "A i1 A o1", "--key", "A", "--style", "流行八拍 Pop 8-Beat"});
    ASSERT_EQ(r.exitCode, 2) << "--style given twice";

    const RunResult ok = RunCli({"compose", SampleTake(), "--tempo", "96", "--metre", "4/4", "--style",
                                 "pop 8-beat", "--form", "A i1 A o1", "--key", "A", "-o", m_dir.File("form.wav")});
    ASSERT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_NE(ok.out.find("key A"), std::string::npos) << ok.out;
    EXPECT_NE(ok.out.find("Song form: A i1 A o1 ("), std::string::npos) << ok.out;
    // Every chord is built on a degree of A major, none on G major's C or G.
    const std::vector<std::string> lines = Lines(ok.out);
    const auto chords = std::find(lines.begin(), lines.end(), "Chords per bar:");
    ASSERT_NE(chords, lines.end());
    int count = 0;
    for (auto line = chords + 1; line != lines.end() && line->rfind("  |", 0) == 0; ++line) {
        std::istringstream words(*line);
        for (std::string chord; words >> chord;) {
            if (chord == "|" || chord == "-")
                continue;
            const std::string root = chord.substr(0, chord[0] == '#' || chord[0] == 'b' ? 2 : 1);
            EXPECT_TRUE(root == "A" || root == "B" || root == "bD" || root == "D" || root == "E" ||
                        root == "#F" || root == "bA")
                << chord;
            ++count;
        }
    }
    EXPECT_GE(count, 8) << "a chord in every bar";
    const AudioInfo wav = ReadWavInfo(m_dir.File("form.wav"));
    ASSERT_TRUE(wav.ok);
    ExpectSongLength(wav.seconds, ExpectedSeconds(ok), "typed form");
}

} // namespace
} // namespace melodrift::cli::test
