// From the record command to the first recorded sample: MM_Record on the
// file device (running in real time, a loud tone from its first sample) until
// the engine reports a non-zero input level. This is the wait the user has
// between pressing Record and the take starting to fill.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "TestSignals.h"

namespace melodrift {
namespace {

bool StartEngine()
{
    // The libraries stay loaded for the whole run, as in the program.
    static const bool bound = [] {
        setenv("MELODRIFT_HOME", "/tmp/melodrift-bench-home", 1);
        return BindEngineLibraries() == 0;
    }();
    if (!bound)
        return false;
    {
        static int window = 0;
        if (Engines().mm.MM_InitialObjects(&window, EngineDirectory(ApplicationDirectory()).c_str()) != 0)
            return false;
        const std::string take = "/tmp/melodrift-bench-tone.wav";
        sonobox::test::WriteWav(take, sonobox::test::Sine(440, 4.0, 0.5));
        setenv("MELODRIFT_AUDIO", ("file:" + take + ";realtime").c_str(), 1);
        Engines().mm.MM_SetTempo(90);
        Engines().mm.MM_SetTimeSignature(1);
    }
    return true;
}

void BM_RecordToFirstSample(benchmark::State& state)
{
    if (!StartEngine()) {
        state.SkipWithError("the engine libraries did not load from the build's bin folder");
        return;
    }
    const auto& mm = Engines().mm;
    static int screen = 0;
    for (auto _ : state) {
        // The previous take may still be analysed: wait until the engine takes a new one.
        int result = -2;
        std::chrono::steady_clock::time_point t0;
        for (int tries = 0; tries < 2000 && result != 0; ++tries) {
            t0 = std::chrono::steady_clock::now();
            result = mm.MM_Record(&screen, 0, -1, -1, MM_RECORD_MELODY);
            if (result != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (result != 0) {
            state.SkipWithError("MM_Record kept failing");
            return;
        }
        while (mm.MM_GetStreamVolume(1) <= 0)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        mm.MM_Stop();
    }
    // The engine's threads end here, not in the exit handlers.
    mm.MM_DestroyObjects();
}
BENCHMARK(BM_RecordToFirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
} // namespace melodrift
