// How long a user waits to hear a change on the base accompaniment step: from
// a chord edit of a three-minute song (72 bars of 4/4 at 96) through composing
// and loading into the engine to the first audible sample of the accompaniment
// on the file-backed device. The real libraries, as the program loads them.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "Patbank.h"
#include "PlaybackClock.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace {

using namespace melodrift;
namespace fs = std::filesystem;

constexpr int kBars = 72;
constexpr int kTempo = 96;

void Put16(std::vector<uint8_t>& v, unsigned x) { v.push_back(uint8_t(x >> 8)), v.push_back(uint8_t(x)); }
void Put32(std::vector<uint8_t>& v, unsigned x) { Put16(v, x >> 16), Put16(v, x & 0xFFFF); }
void PutVar(std::vector<uint8_t>& v, unsigned x)
{
    uint8_t bytes[4];
    int n = 0;
    do {
        bytes[n++] = uint8_t(x & 0x7F);
        x >>= 7;
    } while (x);
    while (n--)
        v.push_back(uint8_t(bytes[n] | (n ? 0x80 : 0)));
}

// A tune in C major, four quarter notes a bar, as a Standard MIDI File.
std::vector<uint8_t> Melody()
{
    static const int steps[8] = {60, 62, 64, 65, 67, 65, 64, 62};
    std::vector<uint8_t> track;
    PutVar(track, 0);
    track.insert(track.end(), {0xFF, 0x51, 0x03});
    const unsigned usPerBeat = 60000000 / kTempo;
    track.insert(track.end(), {uint8_t(usPerBeat >> 16), uint8_t(usPerBeat >> 8), uint8_t(usPerBeat)});
    for (int n = 0; n < kBars * 4; ++n) {
        const int pitch = steps[(n + n / 16) % 8];
        PutVar(track, 0);
        track.insert(track.end(), {0x90, uint8_t(pitch), 96});
        PutVar(track, 470);
        track.insert(track.end(), {0x80, uint8_t(pitch), 0});
        PutVar(track, 10);
        track.insert(track.end(), {0xB0, 0x40, 0});   // keeps the note grid exact
    }
    PutVar(track, 0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    Put32(file, 6);
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 480);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    Put32(file, static_cast<unsigned>(track.size()));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

class BaseFeedback : public benchmark::Fixture {
public:
    void SetUp(benchmark::State& state) override
    {
        char pattern[] = "/tmp/base_feedback_XXXXXX";
        m_dir = mkdtemp(pattern);
        setenv("MELODRIFT_HOME", (m_dir / "home").c_str(), 1);
        setenv("MELODRIFT_AUDIO", "file:", 1);
        if (BindEngineLibraries() != 0 ||
            Engines().mm.MM_InitialObjects(&m_window, EngineDirectory(ApplicationDirectory()).c_str()) != 0) {
            state.SkipWithError("the engine libraries did not start");
            return;
        }
        const std::vector<uint8_t> midi = Melody();
        const fs::path path = m_dir / "melody.mid";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(midi.data()), midi.size());
        SetMetre(m_song, 0, true);
        SetTempo(m_song, kTempo, true);
        if (Engines().mm.MM_LoadMidiMelody(&m_window, path.c_str(), -1) <= 0) {
            state.SkipWithError("the melody did not load");
            return;
        }
        int32_t key = 0;
        Engines().mm.MM_GetMelodyInfo(&key, 0, 0);
        m_song.key = std::max(0, key);
        for (int i = 0; i < kBars; ++i)
            m_song.AddBar();
        SubmitMelody(m_song);
        m_song.SetFlag(kFlagMelody, true);
        int32_t count = 0;
        Engines().sm.SM_GetStyleInfos(0, nullptr, &count);
        std::vector<tagStyleInfo> infos(static_cast<size_t>(std::max(count, 0)));
        Engines().sm.SM_GetStyleInfos(0, infos.data(), &count);
        for (const tagStyleInfo& info : infos)
            if (info.state == SF_STATE_INSTALLED && m_song.styleId < 0)
                m_song.styleId = info.id;
        if (!BaseCompose(m_song)) {
            state.SkipWithError("the first generation failed");
            return;
        }
        m_ready = true;
    }
    void TearDown(benchmark::State&) override
    {
        if (m_ready) {
            Engines().mm.MM_Stop();
            Engines().mm.MM_DestroyObjects();
        }
        fs::remove_all(m_dir);
    }

protected:
    fs::path m_dir;
    int m_window = 0;
    TSongModel m_song;
    bool m_ready = false;
};

// waitForWholeRender: the baseline, playing only once the whole accompaniment
// is rendered (what the engine did before it played while rendering).
void ChordEditToFirstSound(benchmark::State& state, TSongModel& song, int* window, bool waitForWholeRender)
{
    const auto& mm = Engines().mm;
    int flip = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        // The edit: bar 3 alternates between IV and V, as a user trying chords.
        song.bars[2].chords = {static_cast<int8_t>(flip++ % 2 ? 20 : 28), -1};
        if (!BaseCompose(song)) {
            state.SkipWithError("generate failed");
            break;
        }
        if (waitForWholeRender)
            mm.MM_GetStreamLength(3);
        if (mm.MM_Play(window, 0, MM_PLAY_BASE) != 0) {
            state.SkipWithError("play failed");
            break;
        }
        // The accompaniment's level turns non-zero with its first sample heard.
        while (mm.MM_GetStreamVolume(3) <= 0)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        mm.MM_Stop();
    }
}

BENCHMARK_DEFINE_F(BaseFeedback, WholeRenderFirst)(benchmark::State& state)
{
    if (m_ready)
        ChordEditToFirstSound(state, m_song, &m_window, true);
}
BENCHMARK_DEFINE_F(BaseFeedback, PlayWhileRendering)(benchmark::State& state)
{
    if (m_ready)
        ChordEditToFirstSound(state, m_song, &m_window, false);
}
BENCHMARK_REGISTER_F(BaseFeedback, WholeRenderFirst)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_REGISTER_F(BaseFeedback, PlayWhileRendering)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
