// Harmony analysis of a 200-bar melody in each metre, and key analysis of it.
// Every iteration changes the key, so the whole analysis runs each time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Tonalyze.h"

namespace {

constexpr int kTicksPerBeat = 192;
constexpr int kBars = 200;

struct Melody {
    std::vector<uint8_t> notes;
    std::vector<uint16_t> lengths;
};

// A scale-wise tune that fills every bar with halves, quarters and eighths;
// every fourth bar ends on a long chord tone and eight-bar phrases repeat
// with variations, the way sung melodies do.
Melody makeMelody(int beatsPerBar)
{
    static const uint8_t kScale[] = {60, 62, 64, 65, 67, 69, 71, 72, 74};
    Melody m;
    uint32_t seed = 12345;
    for (int bar = 0; bar < kBars; ++bar) {
        if (bar % 8 == 0)
            seed = 12345 + static_cast<uint32_t>(bar % 24);
        int left = beatsPerBar * 2;  // in eighths
        if (bar % 4 == 3) {
            m.notes.push_back(bar % 8 == 7 ? 60 : 67);
            m.lengths.push_back(static_cast<uint16_t>(left * kTicksPerBeat / 2));
            continue;
        }
        while (left > 0) {
            seed = seed * 1103515245u + 12345u;
            const int eighths = std::min(left, 1 + static_cast<int>((seed >> 16) % 3));
            m.notes.push_back(kScale[(seed >> 8) % 9]);
            m.lengths.push_back(static_cast<uint16_t>(eighths * kTicksPerBeat / 2));
            left -= eighths;
        }
    }
    return m;
}

const int kBeats[4] = {4, 3, 2, 3};

void BM_MelodyAnalysis(benchmark::State& state)
{
    const int ts = static_cast<int>(state.range(0));
    const Melody m = makeMelody(kBeats[ts]);
    int32_t bars = 0;
    if (MA_InputMelody(m.notes.data(), m.lengths.data(), static_cast<int32_t>(m.notes.size()), kTicksPerBeat, ts, 120,
                       &bars) != 0) {
        state.SkipWithError("melody refused");
        return;
    }
    std::vector<MA_Section> sections(static_cast<size_t>(bars));
    std::vector<MA_Chord> chords(static_cast<size_t>(2 * bars));
    std::vector<MA_Fill> fills(static_cast<size_t>(bars));
    int key = 0;
    for (auto _ : state) {
        int32_t ns = 0, nc = 0, nf = 0;
        key = key == 0 ? 7 : 0;
        benchmark::DoNotOptimize(
            MA_MelodyAnalysis(key, &ns, sections.data(), &nc, chords.data(), &nf, fills.data()));
        benchmark::DoNotOptimize(chords.data());
    }
    state.counters["bars"] = bars;
    state.counters["notes"] = static_cast<double>(m.notes.size());
    MA_Release();
}
BENCHMARK(BM_MelodyAnalysis)->ArgName("TS")->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_KeyAnalysis(benchmark::State& state)
{
    const int ts = static_cast<int>(state.range(0));
    const Melody m = makeMelody(kBeats[ts]);
    for (auto _ : state)
        benchmark::DoNotOptimize(MA_KeyAnalysis(m.notes.data(), m.lengths.data(),
                                                static_cast<int32_t>(m.notes.size()), kTicksPerBeat, ts));
}
BENCHMARK(BM_KeyAnalysis)->ArgName("TS")->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
