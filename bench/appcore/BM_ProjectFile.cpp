// Save and open of a five-minute song's project: 150 bars of 4/4 at tempo 120,
// a final take over the whole song form, a ten-entry song form. The engine is
// the test fake, appending a block of the given size (0 or a 16 MB stand-in
// for the compressed takes), so the figures are the program's own part.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "FakeEngine.h"
#include "ProjectFile.h"
#include "SongModel.h"

namespace {

using namespace melodrift;
namespace fs = std::filesystem;

TSongModel FiveMinuteSong()
{
    TSongModel s;
    s.styleId = 7;
    s.key = 2;
    s.tempo = 120;
    s.timbreLibraryName = "Pop default.sf2";
    for (int b = 0; b < 150; ++b) {
        tagMelodyBar& bar = s.AddBar();
        bar.chords = {static_cast<int8_t>((b % 8) * 4), static_cast<int8_t>(b % 2 ? 20 : -1)};
        bar.fill = static_cast<int8_t>(b % 8 == 7 ? 0 : -1);
        for (int t = 0; t < kBarTicks; ++t)
            bar.levels[t] = (b * 131 + t * 17) % 30000;
    }
    for (int st = 0; st < 4; ++st)
        s.stages.push_back({st * 16, st * 16 + 15, st % 4});
    s.songForm.push_back({256, 4, -1, 7, {}});
    for (int pass = 0; pass < 2; ++pass)
        for (int st = 0; st < 4; ++st)
            s.songForm.push_back({st, 16, st % 4, 7, {MakeFill(7, 0), MakeFill(15, 1)}});
    s.songForm.push_back({272, 4, -1, 7, {}});
    for (int b = 0; b < 136; ++b)
        s.barVols.emplace_back().levels[b % kBarTicks] = b;
    return s;
}

class ProjectBench : public benchmark::Fixture {
public:
    void SetUp(benchmark::State& state) override
    {
        test::InstallFakeEngine();
        test::Fake().engineBlockSize = static_cast<int32_t>(state.range(0));
        test::Fake().streamLength = {{2, 300000}, {5, 300000}};
        test::Fake().pitches = {60};
        test::Fake().lengths = {192};
        char pattern[] = "/tmp/appcore_bench_XXXXXX";
        m_dir = mkdtemp(pattern);
        m_path = (m_dir / "song.cpj").string();
        m_song = FiveMinuteSong();
    }
    void TearDown(benchmark::State&) override { fs::remove_all(m_dir); }

protected:
    fs::path m_dir;
    std::string m_path;
    TSongModel m_song;
    int m_dialog = 0;
};

BENCHMARK_DEFINE_F(ProjectBench, Save)(benchmark::State& state)
{
    for (auto _ : state)
        if (!SaveProject(m_song, m_path, &m_dialog))
            state.SkipWithError("save failed");
    state.counters["bytes"] = static_cast<double>(fs::file_size(m_path));
}

BENCHMARK_DEFINE_F(ProjectBench, Open)(benchmark::State& state)
{
    SaveProject(m_song, m_path, &m_dialog);
    TSongModel opened;
    for (auto _ : state)
        if (!ProjectOpened(OpenProject(opened, m_path, &m_dialog)))
            state.SkipWithError("open failed");
    state.counters["bytes"] = static_cast<double>(fs::file_size(m_path));
}

BENCHMARK_REGISTER_F(ProjectBench, Save)->Arg(0)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(ProjectBench, Open)->Arg(0)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

} // namespace
