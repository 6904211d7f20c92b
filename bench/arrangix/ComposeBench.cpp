// Composing speed: a base accompaniment of a 32-bar melody and a three-minute
// song form, with the style decoded on every call (cold) or cached (warm).
// Uses the shipped "Pop Ballad" style data when the build has compiled it,
// else the in-memory test style.
#include "Arrangix.h"
#include "Composer.h"
#include "KrvBuilder.h"
#include "MelodriftPlatform.h"
#include "TestStyle.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int32_t kStyle = 1001;

std::vector<uint8_t> styleData()
{
    std::ifstream f(std::string(MDP_LibraryDir()) + "/styles/pop-ballad.mds", std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (file.size() > 1820)
        return std::vector<uint8_t>(file.begin() + 1820, file.end());
    return krvtest::deflate(krvtest::krv(krvtest::smallStyle()));
}

melodrift::arrangix::StoreAccess storeOf(const std::vector<uint8_t>& data)
{
    melodrift::arrangix::StoreAccess a;
    a.getData = [&data](int32_t id, const uint8_t** p, int32_t* size) {
        if (id != kStyle)
            return -1;
        *p = data.data();
        *size = static_cast<int32_t>(data.size());
        return 0;
    };
    return a;
}

// 32 bars of a I-vi-IV-V song in four 8-bar sections, fills closing each.
struct Song {
    std::vector<SM_Section> sections;
    std::vector<SM_Chord> chords;
    std::vector<SM_Fill> fills;
    Song()
    {
        const int32_t codes[4] = {0, 9 * 4 + 1, 5 * 4, 7 * 4 + 2};
        for (int s = 0; s < 4; ++s) {
            sections.push_back({s * 8 + 7, s % 2});
            fills.push_back({s * 8 + 7, s % 2});
        }
        for (int bar = 0; bar < 32; ++bar)
            chords.push_back({codes[bar % 4], 1});
    }
};

// intro, 4 sections, interlude, 4 sections, outro
std::vector<SM_Stage> songForm()
{
    std::vector<SM_Stage> stages = {{256, 0}};
    for (int s = 0; s < 4; ++s)
        stages.push_back({s, s % 2});
    stages.push_back({257, 0});
    for (int s = 0; s < 4; ++s)
        stages.push_back({s, s % 2});
    stages.push_back({272, 0});
    return stages;
}

void BM_BaseCompose32Bars(benchmark::State& state)
{
    static const std::vector<uint8_t> data = styleData();
    melodrift::arrangix::StyleCatalog catalog(storeOf(data));
    int32_t tempo = 84;
    melodrift::arrangix::Composer composer(catalog, {}, tempo);
    MDP_SetDebugSink([](const char*, void*) {}, nullptr);
    Song song;
    std::vector<uint8_t> buffer(1000000);
    for (auto _ : state) {
        int32_t size = static_cast<int32_t>(buffer.size());
        int32_t sc = 4, cc = 32, fc = 4;
        int32_t r = composer.baseCompose(0, &size, buffer.data(), &sc, song.sections.data(), &cc, song.chords.data(),
                                         &fc, song.fills.data(), kStyle);
        if (r != 0)
            state.SkipWithError("base compose failed");
        benchmark::DoNotOptimize(buffer.data());
        state.counters["bytes"] = size;
    }
    MDP_SetDebugSink(nullptr, nullptr);
}
BENCHMARK(BM_BaseCompose32Bars)->Unit(benchmark::kMicrosecond);

void composeForm(benchmark::State& state, bool cold)
{
    static const std::vector<uint8_t> data = styleData();
    Song song;
    const std::vector<SM_Stage> stages = songForm();
    const std::vector<int32_t> ids(stages.size(), kStyle);
    std::vector<uint8_t> buffer(2000000);
    int32_t tempo = 84;
    melodrift::arrangix::StyleCatalog warmCatalog(storeOf(data));
    MDP_SetDebugSink([](const char*, void*) {}, nullptr);
    for (auto _ : state) {
        melodrift::arrangix::StyleCatalog coldCatalog(storeOf(data));
        melodrift::arrangix::StyleCatalog& catalog = cold ? coldCatalog : warmCatalog;
        melodrift::arrangix::Composer composer(catalog, {}, tempo);
        int32_t size = static_cast<int32_t>(buffer.size());
        int32_t r = composer.compose(0, &size, buffer.data(), 4, song.sections.data(), 32, song.chords.data(),
                                     static_cast<int32_t>(stages.size()), stages.data(), ids.data(), 0, nullptr);
        if (r != 0)
            state.SkipWithError("compose failed");
        benchmark::DoNotOptimize(buffer.data());
        state.counters["bytes"] = size;
    }
    MDP_SetDebugSink(nullptr, nullptr);
}

void BM_ComposeSongFormCold(benchmark::State& state) { composeForm(state, true); }
void BM_ComposeSongFormWarm(benchmark::State& state) { composeForm(state, false); }
BENCHMARK(BM_ComposeSongFormCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeSongFormWarm)->Unit(benchmark::kMicrosecond);

// Through libArrangix.so with the real analyser: the melody's chords,
// sections and fills are worked out on every call.
void BM_LibraryBaseComposeWithAnalysis32Bars(benchmark::State& state)
{
    char err[256];
    void* lib = MDP_LoadLibrary("Arrangix.dll", err, sizeof err);
    if (lib == nullptr) {
        state.SkipWithError("libArrangix.so not found");
        return;
    }
    auto init = reinterpret_cast<SM_InitializeFn>(MDP_GetSymbol(lib, "SM_Initialize"));
    auto input = reinterpret_cast<SM_InputWavNotesFn>(MDP_GetSymbol(lib, "SM_InputWavNotes"));
    auto base = reinterpret_cast<SM_BaseComposeFn>(MDP_GetSymbol(lib, "SM_BaseCompose"));
    auto check = reinterpret_cast<SM_CheckStyleFn>(MDP_GetSymbol(lib, "SM_CheckStyle"));
    if (init() != 0 || check(kStyle) != 1) {
        state.SkipWithError("analyser, store or style missing");
        return;
    }
    MDP_SetDebugSink([](const char*, void*) {}, nullptr);
    const uint8_t tune[8] = {60, 64, 67, 65, 64, 62, 60, 59};
    std::vector<uint8_t> pitches;
    std::vector<uint16_t> lengths;
    for (int i = 0; i < 32 * 4; ++i) {
        pitches.push_back(tune[i % 8]);
        lengths.push_back(192);
    }
    int32_t bars = 0;
    input(pitches.data(), lengths.data(), static_cast<int32_t>(pitches.size()), 192, 0, 84, &bars);
    std::vector<uint8_t> buffer(1000000);
    std::vector<SM_Section> sections(64);
    std::vector<SM_Chord> chords(128);
    std::vector<SM_Fill> fills(64);
    for (auto _ : state) {
        int32_t size = static_cast<int32_t>(buffer.size());
        int32_t sc = 0, cc = 0, fc = 0;
        if (base(0, &size, buffer.data(), &sc, sections.data(), &cc, chords.data(), &fc, fills.data(), kStyle) != 0)
            state.SkipWithError("base compose failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    MDP_SetDebugSink(nullptr, nullptr);
}
BENCHMARK(BM_LibraryBaseComposeWithAnalysis32Bars)->Unit(benchmark::kMicrosecond);

}  // namespace
