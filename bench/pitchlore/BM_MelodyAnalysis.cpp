// The whole melody analysis of a five-minute take: segmentation, merging,
// grid, trim and outputs (the key finder left out: it is Tonalyze's cost).
#include "Analyser.h"
#include "SungMelody.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

// Five minutes at 120 beats a minute and 40 frames a beat: 24000 frames of
// notes with vibrato, octave slips, dropouts, glides and breaths.
const pitchlore::Analyser& fiveMinuteTake()
{
    static pitchlore::Analyser take = [] {
        pitchlore::Analyser a;
        a.reset(120, 0, 2048, 40);
        testsignal::TrackBuilder b(a);
        std::mt19937 random(5);
        std::uniform_int_distribution<int> step(-4, 4);
        std::uniform_int_distribution<int> beats(1, 4);
        std::uniform_real_distribution<double> chance(0, 1);
        double pitch = 64;
        while (b.frames() < 24000) {
            double next = std::clamp(pitch + step(random), 50.0, 80.0);
            for (int k = 0; k < 3; ++k)  // glide into the note
                b.frame(pitch + (next - pitch) * (k + 1) / 4);
            pitch = next;
            uint32_t length = static_cast<uint32_t>(beats(random)) * 40 - 6;
            for (uint32_t k = 0; k < length; ++k) {
                double p = pitch + 0.3 * std::sin(k * 0.9);
                double r = chance(random);
                if (r < 0.01)
                    p += 12;
                else if (r < 0.015)
                    p = -1;
                b.frame(p, p < 0 ? 0 : 1.0);
            }
            b.rest(3);
        }
        return a;
    }();
    return take;
}

void BM_MelodyAnalysis(benchmark::State& state)
{
    const pitchlore::Analyser& take = fiveMinuteTake();
    int32_t notes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        pitchlore::Analyser a = take;
        state.ResumeTiming();
        auto r = a.analyseMelody(0);
        notes = r ? r->pitched : 0;
        benchmark::DoNotOptimize(notes);
    }
    state.counters["frames"] = take.tracks().count();
    state.counters["notes"] = notes;
}
BENCHMARK(BM_MelodyAnalysis)->Unit(benchmark::kMillisecond);

}  // namespace
