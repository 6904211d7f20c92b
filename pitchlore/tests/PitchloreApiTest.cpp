// The C functions of libPitchlore.so, with Tonalyze and Tunescan loaded by
// name beside it.
#include "Pitchlore.h"

#include "MelodriftPlatform.h"
#include "LogLines.h"
#include "MidiBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Log = melodrift::testsupport::LogLines;
namespace testsupport = melodrift::testsupport;

struct Melody {
    std::vector<uint8_t> notes;
    std::vector<uint16_t> ticks;
};

Melody getMelody(int32_t key = -1)
{
    int32_t n = MR_GetMelody(nullptr, nullptr, -1);
    Melody m;
    m.notes.resize(static_cast<size_t>(std::max(n, 0)));
    m.ticks.resize(m.notes.size());
    if (n > 0) {
        EXPECT_EQ(MR_GetMelody(m.notes.data(), m.ticks.data(), key), n);
    }
    return m;
}

class PitchloreApi : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("pitchlore-api-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        MR_DestroyAnalyser();
        fs::remove_all(dir);
    }
    std::string file(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    fs::path dir;
};

TEST_F(PitchloreApi, EverythingFailsWithoutAnAnalyser)
{
    MR_DestroyAnalyser();
    int32_t a = 0, b = 0;
    float f = 0;
    uint8_t n = 0;
    uint16_t l = 0;
    EXPECT_EQ(MR_ResetAnalyser(120, 0, 2048, 20), -1);
    EXPECT_EQ(MR_MelodyAnalysis(&a, &b, -1), -1);
    EXPECT_EQ(MR_GetMelodyInfo(&a, &b, nullptr), -1);
    EXPECT_EQ(MR_GetMelody(&n, &l, -1), -1);
    EXPECT_EQ(MR_GetPitchRevise(&f, &a), -1);
    EXPECT_EQ(MR_SaveProject("/tmp/x"), -1);
    EXPECT_EQ(MR_LoadProject("/tmp/x", 0, 0), -1);
    EXPECT_EQ(MR_SaveAnalysis("/tmp/x", 0), -1);
    EXPECT_EQ(MR_LoadAnalysis("/tmp/x", 0, 3), -1);
    EXPECT_EQ(MR_MidiAnalysis("/tmp/x", -1, &a, &b), -1);
    std::vector<float> spectrum(1024, 1.0f);
    MR_FrameAnalysis(0, spectrum.data());
    EXPECT_EQ(MR_DestroyAnalyser(), 0);
}

TEST_F(PitchloreApi, CreationBindsTheLibrariesQuietly)
{
    Log log;
    ASSERT_EQ(MR_CreateAnalyser(), 0);
    ASSERT_EQ(MR_CreateAnalyser(), 0) << "a second creation replaces the first";
    EXPECT_FALSE(log.Contains("error")) << (log.Lines().empty() ? "" : log.Lines().front());
    EXPECT_EQ(MR_ResetAnalyser(49, 0, 2048, 20), -1);
    EXPECT_EQ(MR_ResetAnalyser(120, 4, 2048, 20), 0);
    int32_t key = 9, TS = 9, tempo = 9;
    EXPECT_EQ(MR_GetMelodyInfo(&key, &TS, &tempo), 0);
    EXPECT_EQ(key, -1);
    EXPECT_EQ(TS, 4);
    EXPECT_EQ(tempo, 120);
    EXPECT_TRUE(log.Contains("KeysSize = 0\n"));
    int32_t lead = 77, bars = 77;
    EXPECT_EQ(MR_MelodyAnalysis(&lead, &bars, -1), 0);
    EXPECT_EQ(lead, 77) << "no beat: nothing written";
}

TEST_F(PitchloreApi, EmptyAnalyserSavesAndLoadsTheSmallestBlock)
{
    ASSERT_EQ(MR_CreateAnalyser(), 0);
    ASSERT_EQ(MR_ResetAnalyser(100, 1, 2048, 24), 0);
    std::string p = file("empty.prj", {'P', 'R', 'J'});
    EXPECT_EQ(MR_SaveProject(p.c_str()), 32);
    EXPECT_EQ(fs::file_size(p), 35u);
    ASSERT_EQ(MR_ResetAnalyser(200, 0, 4096, 10), 0);
    EXPECT_EQ(MR_LoadProject(p.c_str(), 3, 0), 32);
    int32_t key = 0, TS = 0, tempo = 0;
    EXPECT_EQ(MR_GetMelodyInfo(&key, &TS, &tempo), 0);
    EXPECT_EQ(TS, 1);
    EXPECT_EQ(tempo, 100);
    EXPECT_EQ(MR_SaveAnalysis(p.c_str(), 3), 32);
    EXPECT_EQ(MR_LoadAnalysis(p.c_str(), 3, 3), 28);
    // A block of size 0 is skipped: the project loader still learns its extent.
    std::string zero = file("zero.prj", {'P', 'R', 'J', 0, 0, 0, 0});
    ASSERT_EQ(MR_ResetAnalyser(150, 2, 1024, 12), 0);
    EXPECT_EQ(MR_LoadProject(zero.c_str(), 3, 0), 4);
    EXPECT_EQ(MR_LoadAnalysis(zero.c_str(), 3, 3), 0);
    MR_GetMelodyInfo(&key, &TS, &tempo);
    EXPECT_EQ(tempo, 150) << "analyser left as it was";
    EXPECT_EQ(MR_SaveProject((dir / "missing.prj").string().c_str()), 0);
    EXPECT_EQ(MR_LoadProject((dir / "missing.prj").string().c_str(), 0, 0), 0);
}

TEST_F(PitchloreApi, MidiMelodyIsQuantisedToTheTempoGrid)
{
    // 3/4: a dotted quarter, an eighth, a half, a quarter; then a rest and
    // a note that falls on a sixteenth.
    testsupport::Melody tune{{{-1, 576}, {64, 288}, {65, 96}, {67, 384}, {64, 192}, {-1, 72}, {62, 408}}};
    struct Case {
        int bpm;
        std::vector<uint16_t> ticks;
        int32_t bars;
    } cases[] = {
        // Grid of 48 ticks (sixteenths).
        {100, {288, 96, 384, 192, 48, 432, 288}, 3},
        // Above 120 beats the grid is 96 ticks: the short rest rounds up to
        // a unit and the note after it gives the difference back.
        {130, {288, 96, 384, 192, 96, 384, 288}, 3},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(MR_CreateAnalyser(), 0);
        std::string p = file("tune.mid", testsupport::MelodyFile(3, 4, c.bpm, tune));
        int32_t lead = -1, bars = -1;
        EXPECT_EQ(MR_MidiAnalysis(p.c_str(), -1, &lead, &bars), 5) << c.bpm;
        EXPECT_EQ(lead, 1);
        EXPECT_EQ(bars, c.bars);
        int32_t TS = -1, tempo = -1;
        MR_GetMelodyInfo(nullptr, &TS, &tempo);
        EXPECT_EQ(TS, 1);
        EXPECT_EQ(tempo, c.bpm);
        Melody m = getMelody();
        EXPECT_EQ(m.ticks, c.ticks) << c.bpm;
    }
}

TEST_F(PitchloreApi, MidiMelodySurvivesASaveAndLoad)
{
    ASSERT_EQ(MR_CreateAnalyser(), 0);
    testsupport::Melody tune{{{60, 192}, {62, 192}, {64, 384}, {65, 192}, {64, 192}, {62, 384}, {60, 768}}};
    std::string mid = file("t.mid", testsupport::MelodyFile(4, 4, 110, tune));
    int32_t lead = 0, bars = 0;
    ASSERT_EQ(MR_MidiAnalysis(mid.c_str(), 0, &lead, &bars), 7);
    Melody before = getMelody();
    int32_t key = -2;
    int32_t n = MR_GetMelodyInfo(&key, nullptr, nullptr);
    EXPECT_EQ(key, 0);

    std::string p = file("song.prj", {1, 2, 3, 4});
    EXPECT_EQ(MR_SaveProject(p.c_str()), 32 + 8 * n) << "no frame tracks after MIDI input";
    // Something else in the analyser, then back to the saved melody.
    ASSERT_EQ(MR_ResetAnalyser(60, 2, 1024, 8), 0);
    EXPECT_EQ(MR_LoadProject(p.c_str(), 4, 0), 32 + 8 * n);
    Melody after = getMelody();
    EXPECT_EQ(after.notes, before.notes);
    EXPECT_EQ(after.ticks, before.ticks);

    // A missing file or a track without notes leaves all of that alone.
    EXPECT_EQ(MR_MidiAnalysis((dir / "none.mid").string().c_str(), -1, &lead, &bars), 0);
    EXPECT_EQ(MR_MidiAnalysis(mid.c_str(), 5, &lead, &bars), 0);
    EXPECT_EQ(getMelody().notes, before.notes);
    // A file whose tempo the analyser refuses changes nothing either.
    std::string fast = file("fast.mid", testsupport::MelodyFile(4, 4, 240, tune));
    EXPECT_EQ(MR_MidiAnalysis(fast.c_str(), -1, &lead, &bars), 0);
    EXPECT_EQ(getMelody().notes, before.notes);
}

TEST_F(PitchloreApi, NotesLongerThanSixteenBitsOfTicksAreSplit)
{
    ASSERT_EQ(MR_CreateAnalyser(), 0);
    // 100000 ticks of one note, then a long rest and a closing note.
    testsupport::Melody tune{{{60, 192}, {64, 100000}, {-1, 70000}, {67, 192}}};
    std::string mid = file("long.mid", testsupport::MelodyFile(4, 4, 100, tune));
    int32_t lead = 0, bars = 0;
    EXPECT_GT(MR_MidiAnalysis(mid.c_str(), -1, &lead, &bars), 3);
    Melody m = getMelody();
    int64_t total = 0;
    int64_t sung64 = 0;
    for (size_t i = 0; i < m.ticks.size(); ++i) {
        total += m.ticks[i];
        if (m.notes[i] == 64)
            sung64 += m.ticks[i];
        EXPECT_GT(m.ticks[i], 0);
    }
    EXPECT_EQ(sung64, 100000 - 100000 % 48) << "the long note keeps its length in pieces";
    EXPECT_EQ(total, static_cast<int64_t>(bars) * 768) << "nothing wrapped: the bars still add up";
    EXPECT_EQ(m.notes.front(), 60);
}

TEST_F(PitchloreApi, ReKeyingThroughGetMelody)
{
    ASSERT_EQ(MR_CreateAnalyser(), 0);
    // G A B C | D F# G: G major. Re-keyed to F major, B and F# are out of
    // the scale; sung exactly on pitch they move up.
    testsupport::Melody tune{{{67, 192}, {69, 192}, {71, 192}, {72, 192}, {74, 384}, {66, 192}, {67, 576}}};
    std::string mid = file("g.mid", testsupport::MelodyFile(4, 4, 100, tune));
    int32_t lead = 0, bars = 0;
    ASSERT_EQ(MR_MidiAnalysis(mid.c_str(), -1, &lead, &bars), 7);
    int32_t key = -2;
    MR_GetMelodyInfo(&key, nullptr, nullptr);
    EXPECT_EQ(key, 7);
    EXPECT_EQ(getMelody(-1).notes, (std::vector<uint8_t>{67, 69, 71, 72, 74, 66, 67, 128}));
    EXPECT_EQ(getMelody(5).notes, (std::vector<uint8_t>{67, 69, 72, 72, 74, 67, 67, 128}));
    MR_GetMelodyInfo(&key, nullptr, nullptr);
    EXPECT_EQ(key, 5);
    EXPECT_EQ(getMelody(7).notes, (std::vector<uint8_t>{67, 69, 71, 72, 74, 66, 67, 128}));
    EXPECT_EQ(MR_GetPitchRevise(nullptr, nullptr), 0) << "whole notes need no correction";
}

}  // namespace
