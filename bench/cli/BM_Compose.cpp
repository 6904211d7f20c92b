// Wall time of the compose command's chain for a one-minute take to MP3,
// with each step's share as counters.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "EngineSession.h"
#include "ProgressDisplay.h"
#include "SongMaker.h"
#include "StyleCatalogue.h"
#include "SungTake.h"
#include "TempFolder.h"
#include "WavFile.h"

namespace melodrift::cli {
namespace {

constexpr int kTempo = 100;   // 25 bars of 4/4 are one minute

// A scale tune walked up and down, repeated to fill the minute.
std::vector<testsupport::SungNote> OneMinuteTune()
{
    const int steps[] = {60, 62, 64, 65, 67, 69, 67, 65, 64, 62, 64, 67, 72, 71, 69, 67};
    std::vector<testsupport::SungNote> tune;
    double beats = 0;
    for (int i = 0; beats < 24 * 4; ++i) {
        const double length = i % 4 == 3 ? 2 : 1;
        tune.push_back({steps[i % 16], length});
        beats += length;
    }
    tune.push_back({60, 4});
    return tune;
}

void BM_ComposeOneMinuteTakeToMp3(benchmark::State& state)
{
    // Created and ended inside the run: the engine's libraries must not be
    // torn down by the exit handlers in an order of their choosing.
    EngineSession engine;
    const testsupport::TempFolder dir("cli_bench");
    const std::string take = dir.File("minute.wav");
    const std::string song = dir.File("minute.mp3");
    testsupport::WriteWav(take, testsupport::ToPcm16(testsupport::Sing(OneMinuteTune(), kTempo, 4)));
    std::FILE* quiet = std::fopen("/dev/null", "w");
    ProgressDisplay progress(quiet, false);
    const std::vector<StyleEntry> styles = InstalledStyles(0);
    if (styles.empty()) {
        state.SkipWithError("no 4/4 style installed");
        return;
    }
    std::map<std::string, double> perStep;
    for (auto _ : state) {
        SongMaker maker(engine, progress);
        maker.Recognise(take, kTempo, 0, -1);
        maker.Accompany(styles.front().id);
        maker.ArrangeForm(nullptr);
        maker.Compose();
        maker.Export(song, OutputKind::Mp3);
        for (const StepTime& t : maker.Times())
            perStep[t.step] += t.seconds * 1000;
    }
    for (const auto& [step, ms] : perStep)
        state.counters[step + " ms"] = benchmark::Counter(ms, benchmark::Counter::kAvgIterations);
    std::fclose(quiet);
}
BENCHMARK(BM_ComposeOneMinuteTakeToMp3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
} // namespace melodrift::cli
