// libPitchlore.so as the audio engine uses it: loaded by name, entry points
// resolved by their export names, a sung take fed frame by frame.
#include "MelodriftPlatform.h"
#include "SungMelody.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using CreateFn = int32_t (*)();
using ResetFn = int32_t (*)(int32_t, int32_t, int32_t, uint32_t);
using FrameFn = void (*)(uint32_t, const float*);
using MelodyFn = int32_t (*)(int32_t*, int32_t*, int32_t);
using InfoFn = int32_t (*)(int32_t*, int32_t*, int32_t*);
using GetFn = int32_t (*)(uint8_t*, uint16_t*, int32_t);

TEST(LoadByName, RecognisesASungMelody)
{
    char error[512] = "";
    void* lib = MDP_LoadLibrary("Pitchlore.dll", error, sizeof error);
    ASSERT_NE(lib, nullptr) << error;
    const char* names[] = {"MR_CreateAnalyser", "MR_ResetAnalyser", "MR_DestroyAnalyser", "MR_FrameAnalysis",
                           "MR_MelodyAnalysis", "MR_GetMelodyInfo", "MR_GetMelody", "MR_GetPitchRevise",
                           "MR_MidiAnalysis", "MR_SaveProject", "MR_LoadProject", "MR_SaveAnalysis",
                           "MR_LoadAnalysis"};
    for (const char* name : names)
        EXPECT_NE(MDP_GetSymbol(lib, name), nullptr) << name;
    EXPECT_EQ(MDP_GetSymbol(lib, "_ZN9pitchlore8Analyser5resetEiiij"), nullptr) << "internals stay hidden";

    auto create = reinterpret_cast<CreateFn>(MDP_GetSymbol(lib, "MR_CreateAnalyser"));
    auto reset = reinterpret_cast<ResetFn>(MDP_GetSymbol(lib, "MR_ResetAnalyser"));
    auto frame = reinterpret_cast<FrameFn>(MDP_GetSymbol(lib, "MR_FrameAnalysis"));
    auto melody = reinterpret_cast<MelodyFn>(MDP_GetSymbol(lib, "MR_MelodyAnalysis"));
    auto info = reinterpret_cast<InfoFn>(MDP_GetSymbol(lib, "MR_GetMelodyInfo"));
    auto get = reinterpret_cast<GetFn>(MDP_GetSymbol(lib, "MR_GetMelody"));
    auto destroy = reinterpret_cast<CreateFn>(MDP_GetSymbol(lib, "MR_DestroyAnalyser"));

    ASSERT_EQ(create(), 0);
    ASSERT_EQ(reset(96, 0, 4096, 40), 0);
    // "E G A G | E D C -" in C after a bar of rest, at 96 beats a minute.
    std::vector<testsignal::SungNote> tune{{-1, 4}, {64, 1}, {67, 1}, {69, 1}, {67, 1},
                                           {64, 1}, {62, 1}, {60, 2}, {-1, 2}};
    testsignal::Voice voice;
    voice.seed = 3;
    auto spectra = testsignal::frames(testsignal::sing(tune, 96, voice), 4096, 44100.0 * 60 / 96 / 40);
    for (uint32_t i = 0; i < spectra.size(); ++i)
        frame(i, spectra[i].data());
    int32_t lead = -1, bars = -1;
    EXPECT_EQ(melody(&lead, &bars, -1), 7);
    EXPECT_EQ(lead, 1);
    EXPECT_EQ(bars, 2);
    int32_t key = -2;
    int32_t n = info(&key, nullptr, nullptr);
    ASSERT_EQ(n, 7);
    EXPECT_EQ(key, 0);
    std::vector<uint8_t> notes(7);
    std::vector<uint16_t> ticks(7);
    EXPECT_EQ(get(notes.data(), ticks.data(), -1), 7);
    EXPECT_EQ(notes, (std::vector<uint8_t>{64, 67, 69, 67, 64, 62, 60}));
    EXPECT_EQ(ticks, (std::vector<uint16_t>{192, 192, 192, 192, 192, 192, 384}));
    EXPECT_EQ(destroy(), 0);
    MDP_FreeLibrary(lib);
}

}  // namespace
