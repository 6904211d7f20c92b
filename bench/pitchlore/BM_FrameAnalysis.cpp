// Cost of one frame's fundamental estimate, the work done per frame while a
// take is being recorded.
#include "Analyser.h"
#include "SungMelody.h"

#include <benchmark/benchmark.h>

namespace {

void BM_FrameAnalysis(benchmark::State& state)
{
    const int FFT = static_cast<int>(state.range(0));
    // Frames of a real sung phrase, cycled, so the estimator meets onsets,
    // vibrato and breaths rather than one easy spectrum.
    std::vector<testsignal::SungNote> phrase{{60, 1}, {64, 1}, {67, 1}, {72, 1}, {-1, 0.5}, {55, 1.5}};
    auto spectra = testsignal::frames(testsignal::sing(phrase, 120, {}), FFT, 44100.0 / 2 / 40);
    pitchlore::Analyser analyser;
    analyser.reset(120, 0, FFT, 40);
    uint32_t i = 0;
    for (auto _ : state) {
        // Overwriting keeps the tracks from growing without bound.
        analyser.frame(i % 4096, spectra[i % spectra.size()].data());
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameAnalysis)->Arg(2048)->Arg(4096);

}  // namespace
