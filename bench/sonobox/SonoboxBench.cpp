// Speed of the two long jobs (analysing a take, rendering an accompaniment)
// and the recognition measurements behind the analysis settings.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "PitchloreLibrary.h"
#include "SoundFontSynth.h"
#include "TakeAnalyser.h"
#include "TestSignals.h"

namespace melodrift::sonobox {
namespace {

using test::SungNote;

const std::vector<SungNote> kTune = {{60, 1}, {62, 1}, {64, 2}, {67, 1}, {65, 1}, {64, 1}, {62, 1},
                                    {60, 2}, {57, 1}, {59, 1}, {60, 1},   {64, 1}, {62, 2}, {67, 2},
                                    {69, 1}, {67, 0.5}, {65, 0.5}, {64, 1}, {62, 1}, {60, 4}};


std::size_t EditDistance(const std::vector<int>& a, const std::vector<int>& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

// Notes as (pitch, length in ticks) codes, rests included, for comparing
// rhythm as well as pitch.
std::vector<int> NoteCodes(const std::vector<SungNote>& notes)
{
    std::vector<int> out;
    for (const SungNote& n : notes)
        out.push_back(n.midi * 100000 + static_cast<int>(n.beats * 192));
    return out;
}

std::vector<int> RecognisedCodes(PitchloreLibrary& recogniser)
{
    int count = recogniser.GetMelody(nullptr, nullptr, -1);
    std::vector<std::uint8_t> notes(static_cast<std::size_t>(std::max(count, 0)));
    std::vector<std::uint16_t> lengths(notes.size());
    if (count > 0)
        recogniser.GetMelody(notes.data(), lengths.data(), -1);
    std::vector<int> out;
    for (std::size_t i = 0; i < notes.size(); ++i)
        out.push_back((notes[i] < 128 ? notes[i] : -1) * 100000 + lengths[i]);
    return out;
}

std::vector<int> RecognisedPitches(PitchloreLibrary& recogniser)
{
    int count = recogniser.GetMelody(nullptr, nullptr, -1);
    std::vector<std::uint8_t> notes(static_cast<std::size_t>(std::max(count, 0)));
    std::vector<std::uint16_t> lengths(notes.size());
    if (count > 0)
        recogniser.GetMelody(notes.data(), lengths.data(), -1);
    std::vector<int> out;
    for (std::uint8_t n : notes)
        if (n < 128 && (out.empty() || out.back() != n))
            out.push_back(n);
    return out;
}

PitchloreLibrary& Recogniser()
{
    static PitchloreLibrary library;
    return library;
}

std::string FontPath()
{
    const char* env = std::getenv("SONOBOX_BENCH_FONT");
    return env ? env : "/usr/share/sounds/sf2/TimGM6mb.sf2";
}

// A three-minute take: the tune sung over and over at 100 bpm.
MonoBuffer ThreeMinuteTake()
{
    std::vector<SungNote> notes;
    double beats = 0;
    while (beats < 300) {
        for (const SungNote& n : kTune) {
            notes.push_back(n);
            beats += n.beats;
        }
    }
    return test::SingMelody(notes, 100, 4, {30, 0.05, 7});
}

void BM_AnalyseThreeMinuteTake(benchmark::State& state)
{
    PitchloreLibrary& recogniser = Recogniser();
    if (!recogniser.Ready()) {
        state.SkipWithError("libPitchlore.so not found beside the benchmark's libraries");
        return;
    }
    MonoBuffer take = ThreeMinuteTake();
    AnalysisSettings settings;
    for (auto _ : state) {
        Recognition r = RecogniseTake(recogniser, settings, take, 100, 0);
        benchmark::DoNotOptimize(r);
    }
    double seconds = static_cast<double>(take.size()) / kSampleRate;
    state.counters["audio_s"] = seconds;
    state.counters["realtime_factor"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AnalyseThreeMinuteTake)->Unit(benchmark::kMillisecond)->UseRealTime();

// A three-minute accompaniment: drums, bass, chords and a pad at 100 bpm.
std::vector<std::uint8_t> ThreeMinuteAccompaniment()
{
    std::vector<std::uint8_t> track;
    auto delta = [&](std::uint32_t v) {
        std::uint8_t b[5];
        int n = 0;
        b[n++] = v & 0x7F;
        while (v >>= 7)
            b[n++] = static_cast<std::uint8_t>((v & 0x7F) | 0x80);
        while (n)
            track.push_back(b[--n]);
    };
    auto event = [&](std::uint32_t d, std::initializer_list<std::uint8_t> bytes) {
        delta(d);
        track.insert(track.end(), bytes);
    };
    event(0, {0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0}); // 600000 us a quarter: 100 bpm
    event(0, {0xC1, 33});                            // bass
    event(0, {0xC2, 0});                             // piano
    event(0, {0xC3, 48});                            // strings
    const int roots[] = {48, 45, 41, 43};
    for (int bar = 0; bar < 75; ++bar) {
        std::uint8_t root = static_cast<std::uint8_t>(roots[bar % 4]);
        event(0, {0x93, static_cast<std::uint8_t>(root + 12), 60});
        for (int beat = 0; beat < 4; ++beat) {
            event(0, {0x99, static_cast<std::uint8_t>(beat % 2 ? 38 : 36), 100});
            event(0, {0x99, 42, 80});
            event(0, {0x91, static_cast<std::uint8_t>(root - 12), 100});
            event(0, {0x92, root, 80});
            event(0, {0x92, static_cast<std::uint8_t>(root + 4), 80});
            event(0, {0x92, static_cast<std::uint8_t>(root + 7), 80});
            event(180, {0x81, static_cast<std::uint8_t>(root - 12), 0});
            event(0, {0x82, root, 0});
            event(0, {0x82, static_cast<std::uint8_t>(root + 4), 0});
            event(0, {0x82, static_cast<std::uint8_t>(root + 7), 0});
            event(12, {0x89, 42, 0});
        }
        event(0, {0x83, static_cast<std::uint8_t>(root + 12), 0});
    }
    event(0, {0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 192, 'M', 'T', 'r', 'k'};
    auto n = static_cast<std::uint32_t>(track.size());
    file.insert(file.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                             static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

void BM_RenderThreeMinuteAccompaniment(benchmark::State& state)
{
    auto synth = SoundFontSynth::Load(FontPath());
    if (!synth) {
        state.SkipWithError("no SoundFont (set SONOBOX_BENCH_FONT)");
        return;
    }
    std::vector<std::uint8_t> midi = ThreeMinuteAccompaniment();
    double seconds = 0;
    for (auto _ : state) {
        auto audio = synth->Render(midi.data(), midi.size());
        seconds = audio ? static_cast<double>(StereoFrames(*audio)) / kSampleRate : 0;
        benchmark::DoNotOptimize(audio);
    }
    state.counters["audio_s"] = seconds;
    state.counters["realtime_factor"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderThreeMinuteAccompaniment)->Unit(benchmark::kMillisecond)->UseRealTime();

// Recognition of synthetic voices (vibrato, noise) at several tempi for one
// transform size and frame rate: note accuracy (1 - edit distance / notes)
// and the share of takes whose bar count came out right.
void BM_RecognitionQuality(benchmark::State& state)
{
    PitchloreLibrary& recogniser = Recogniser();
    if (!recogniser.Ready()) {
        state.SkipWithError("libPitchlore.so not found");
        return;
    }
    AnalysisSettings settings{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
    const std::vector<int> expected = testsupport::SungPitches(kTune);
    const std::vector<int> expectedCodes = NoteCodes(kTune);
    double beats = 0;
    for (const SungNote& n : kTune)
        beats += n.beats;
    const int expectedBars = static_cast<int>(std::ceil(beats / 4)); // the last bar is padded
    double accuracy = 0, rhythm = 0, barsRight = 0;
    int takes = 0;
    for (auto _ : state) {
        accuracy = rhythm = barsRight = 0;
        takes = 0;
        for (int tempo : {70, 100, 140, 180}) {
            for (double vibrato : {20.0, 60.0}) {
                for (double noise : {0.0, 0.15, 0.4}) {
                    MonoBuffer take = test::SingMelody(kTune, tempo, 4, {vibrato, noise, 11});
                    Recognition r = RecogniseTake(recogniser, settings, take, tempo, 0);
                    double distance = static_cast<double>(EditDistance(RecognisedPitches(recogniser), expected));
                    accuracy += std::max(0.0, 1.0 - distance / static_cast<double>(expected.size()));
                    distance = static_cast<double>(EditDistance(RecognisedCodes(recogniser), expectedCodes));
                    rhythm += std::max(0.0, 1.0 - distance / static_cast<double>(expectedCodes.size()));
                    barsRight += r.barCount == expectedBars && r.leadInBars == 1 ? 1 : 0;
                    ++takes;
                }
            }
        }
    }
    state.counters["pitch_accuracy"] = accuracy / takes;
    state.counters["note_and_length_accuracy"] = rhythm / takes;
    state.counters["bars_right"] = barsRight / takes;
}
BENCHMARK(BM_RecognitionQuality)
    ->ArgsProduct({{2048, 4096, 8192}, {4, 6, 8, 12, 16, 24}})
    ->ArgNames({"fft", "fpb"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace melodrift::sonobox
