#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "EngineFixture.h"

namespace melodrift::sonobox::test {
namespace {

// Four quarter notes at 120 bpm: two seconds of music.
std::vector<std::uint8_t> FourNotes() { return MakeMidiFile(120, {{60, 1}, {64, 1}, {67, 1}, {72, 1}}); }

struct ReadBack {
    int channels = 0;
    int rate = 0;
    std::vector<float> samples;
    std::size_t Frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

ReadBack ReadAudio(const std::string& path)
{
    ReadBack result;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return result;
    result.channels = info.channels;
    result.rate = info.samplerate;
    std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_float(file, block.data(), 4096)) > 0)
        result.samples.insert(result.samples.end(), block.begin(), block.begin() + n * info.channels);
    sf_close(file);
    return result;
}

class Playback : public EngineFixture {
protected:
    // A recognised take of a few bars in stream 2.
    void RecordTake()
    {
        std::vector<SungNote> song = {{67, 1}, {69, 1}, {71, 2}, {72, 2}, {71, 2}};
        WriteWav(Path("take.wav"), SingMelody(song, 100, 4));
        UseFileDevice(Path("take.wav"));
        ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
        ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED));
        ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
        ASSERT_EQ(MM_Stop(), 0);
        ::unsetenv("MELODRIFT_AUDIO");
    }
};

TEST_F(Playback, RenderedAccompanimentHasTheFilesLengthAndIsAudible)
{
    std::vector<std::uint8_t> midi = FourNotes();
    ASSERT_EQ(MM_LoadBaseCompose(midi.data(), static_cast<int32_t>(midi.size())), 0);
    int ms = MM_GetStreamLength(3);
    EXPECT_GE(ms, 2000);
    EXPECT_LE(ms, 4000); // the last note's release, no more
    EXPECT_EQ(MM_GetStreamLength(4), 0);

    // Played through the file device into a WAV.
    UseFileDevice("", Path("out.wav"));
    ASSERT_EQ(MM_Play(Screen(), 0, 5), 0);
    auto stopped = m_log.WaitFor(UM_ENGINE_STOPPED);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->window, Screen());
    MM_Stop();
    ReadBack out = ReadAudio(Path("out.wav"));
    ASSERT_EQ(out.channels, 2);
    ASSERT_GE(out.Frames(), static_cast<std::size_t>(ms) * kSampleRate / 1000);
    for (int second = 0; second < 2; ++second)
        EXPECT_GT(Rms(out.samples.data() + second * kSampleRate * 2, kSampleRate, 2), 0.005) << "second " << second;
}

TEST_F(Playback, PlayingFromABarSkipsTheBarsBefore)
{
    std::vector<std::uint8_t> midi = MakeMidiFile(100, {{60, 4}, {-1, 4}, {67, 4}});
    ASSERT_EQ(MM_LoadBaseCompose(midi.data(), static_cast<int32_t>(midi.size())), 0);
    UseFileDevice("", Path("out.wav"));
    ASSERT_EQ(MM_Play(Screen(), 1.0, 5), 0); // from the silent bar
    ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED));
    MM_Stop();
    ReadBack out = ReadAudio(Path("out.wav"));
    const std::size_t bar = kSampleRate * 60 / 100 * 4;
    ASSERT_GT(out.Frames(), bar * 2);
    // The first bar's note is still sounding its release briefly; the rest of
    // the bar is quiet, the next bar plays the G.
    EXPECT_LT(Rms(out.samples.data() + bar, bar / 2, 2), 0.003);
    EXPECT_GT(Rms(out.samples.data() + bar * 2, bar / 2, 2), 0.01);
}

TEST_F(Playback, RejectsWhatIsNotAMidiFileAndPlayingNothing)
{
    const std::uint8_t junk[] = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_LT(MM_LoadCompose(junk, sizeof junk), 0);
    EXPECT_EQ(MM_GetStreamLength(4), 0);
    EXPECT_LT(MM_LoadCompose(nullptr, 10), 0);
    std::vector<std::uint8_t> cut = FourNotes();
    cut.resize(20); // header and a torn track
    EXPECT_LT(MM_LoadCompose(cut.data(), static_cast<int32_t>(cut.size())), 0);
    EXPECT_EQ(MM_Play(Screen(), 0, 10), MM_ERR_NOTHING);
    EXPECT_EQ(MM_Play(Screen(), 0, 77), MM_ERR_FAIL);
}

TEST_F(Playback, TempoPreviewClicksOnEveryBeatUntilStopped)
{
    ASSERT_EQ(MM_SetTempo(120), 0);
    ASSERT_EQ(MM_SetTimeSignature(1), 0); // 3/4
    UseFileDevice("", Path("clicks.wav"));
    ASSERT_EQ(MM_Play(Screen(), 0, 16), 0);
    // The file device runs an endless program about ten times faster than
    // real time; give it time for a few seconds of clicks even on a busy machine.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    MM_Stop();
    EXPECT_EQ(m_log.Count(UM_ENGINE_STOPPED), 0u); // never ends by itself
    ReadBack out = ReadAudio(Path("clicks.wav"));
    ASSERT_GT(out.Frames(), static_cast<std::size_t>(kSampleRate) * 2);
    // Onsets: the first sample of each loud stretch after silence.
    std::vector<std::size_t> onsets;
    for (std::size_t i = 1; i < std::min(out.Frames(), static_cast<std::size_t>(kSampleRate) * 3); ++i)
        if (std::fabs(out.samples[i * 2]) > 0.05f && (onsets.empty() || i - onsets.back() > kSampleRate / 10))
            onsets.push_back(i);
    ASSERT_GE(onsets.size(), 4u);
    for (std::size_t k = 1; k < onsets.size(); ++k)
        EXPECT_NEAR(static_cast<double>(onsets[k] - onsets[k - 1]), kSampleRate / 2.0, 50.0);
    // The first beat of each 3/4 bar is accented.
    float first = 0, second = 0;
    for (std::size_t i = onsets[0]; i < onsets[0] + 400; ++i)
        first = std::max(first, std::fabs(out.samples[i * 2]));
    for (std::size_t i = onsets[1]; i < onsets[1] + 400; ++i)
        second = std::max(second, std::fabs(out.samples[i * 2]));
    EXPECT_GT(first, second * 1.2f);
}

TEST_F(Playback, StreamVolumesScaleWhatIsHeard)
{
    std::vector<std::uint8_t> midi = FourNotes();
    ASSERT_EQ(MM_LoadBaseCompose(midi.data(), static_cast<int32_t>(midi.size())), 0);
    auto loudness = [&](float volume) {
        EXPECT_EQ(MM_SetStreamVolume(3, volume), 0);
        UseFileDevice("", Path("v.wav"));
        EXPECT_EQ(MM_Play(Screen(), 0, 5), 0);
        EXPECT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED));
        MM_Stop();
        ReadBack out = ReadAudio(Path("v.wav"));
        return Rms(out.samples.data(), static_cast<std::size_t>(kSampleRate) * 2, 2);
    };
    double full = loudness(1.0f);
    double half = loudness(0.5f);
    EXPECT_NEAR(half / full, 0.5, 0.02);
    EXPECT_EQ(loudness(0.0f), 0.0);
    EXPECT_EQ(MM_GetStreamVolume(3), 0); // idle: the volume, 0..100
    EXPECT_EQ(MM_SetStreamVolume(3, 7.0f), 0);
    EXPECT_EQ(MM_GetStreamVolume(3), 100); // clamped
    EXPECT_EQ(MM_GetStreamVolume(6), -1);
}

TEST_F(Playback, CombinedVoiceFollowsTheSongForm)
{
    RecordTake();
    const double barMs = 2400.0; // 4/4 at 100 bpm
    // One bar of intro, the first two bars of the take, one bar of interlude,
    // the take's second bar again.
    MM_VoiceSegment segments[] = {{-1, 1}, {0, 2}, {-1, 1}, {1, 1}};
    int32_t value = 1;
    ASSERT_EQ(MM_CombineSong(0, 4, segments, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_NEAR(MM_GetStreamLength(5), 5 * barMs, 1);

    UseFileDevice("", Path("voice.wav"));
    ASSERT_EQ(MM_Play(Screen(), 0, 0x204), 0); // effect preview plays stream 5
    ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED));
    MM_Stop();
    ReadBack out = ReadAudio(Path("voice.wav"));
    const std::size_t bar = kSampleRate * 60 / 100 * 4;
    ASSERT_GE(out.Frames(), bar * 5);
    const float* s = out.samples.data();
    EXPECT_EQ(Rms(s, bar, 2), 0.0);                   // intro
    EXPECT_GT(Rms(s + bar * 2, bar, 2), 0.02);        // take bar 0
    EXPECT_EQ(Rms(s + bar * 3 * 2, bar, 2), 0.0);     // interlude
    // The last bar repeats take bar 1, which is the song's third bar.
    double diff = 0;
    for (std::size_t i = 0; i < bar; ++i)
        diff = std::max(diff, static_cast<double>(std::fabs(s[(bar * 4 + i) * 2] - s[(bar * 2 + i) * 2])));
    EXPECT_LT(diff, 1e-6);

    EXPECT_EQ(MM_CombineSong(0, 0, segments, nullptr), MM_ERR_FAIL);
    MM_VoiceSegment bad[] = {{0, -1}};
    EXPECT_EQ(MM_CombineSong(0, 1, bad, nullptr), MM_ERR_FAIL);
}

TEST_F(Playback, EffectPreviewContinuesWithAChangedPresetFromWhereItWas)
{
    // A take of one second at 440 Hz, then two at 660 Hz.
    MonoBuffer take = Sine(440, 1.0, 0.3);
    MonoBuffer second = Sine(660, 2.0, 0.3);
    take.insert(take.end(), second.begin(), second.end());
    WriteWav(Path("take.wav"), take);
    // Taken as it is (an old project's audio block is read without analysis).
    auto size = static_cast<int32_t>(std::filesystem::file_size(Path("take.wav")));
    ASSERT_EQ(MM_LoadAudioMP3(Path("take.wav").c_str(), 0, size), size);
    ASSERT_EQ(MM_GetStreamLength(2), 3000);
    ::setenv("MELODRIFT_AUDIO", ("file:;out=" + Path("preview.wav") + ";realtime").c_str(), 1);
    ASSERT_EQ(MM_Play(Screen(), 0, 0x204), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    ASSERT_EQ(MM_SetFxPreset(256, 1), 0); // an octave up, while previewing
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    MM_Stop();
    // Each run writes the output anew: this is what played after the change.
    ReadBack out = ReadAudio(Path("preview.wav"));
    ASSERT_GT(out.Frames(), static_cast<std::size_t>(kSampleRate) / 10);
    EXPECT_NEAR(ZeroCrossingHz(out.samples.data() + 2000 * 2, 4000, 2), 1320, 60);
}

TEST_F(Playback, FinalTakeIsRecordedOverTheAccompanimentAndEndsWithIt)
{
    RecordTake();
    std::vector<std::uint8_t> midi = MakeMidiFile(100, {{60, 8}}); // two bars
    ASSERT_EQ(MM_LoadCompose(midi.data(), static_cast<int32_t>(midi.size())), 0);
    WriteWav(Path("final.wav"), Sine(330, 10.0, 0.3));
    UseFileDevice(Path("final.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, 0, 0, 2), 0);
    ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED)); // the accompaniment ended
    auto report = m_log.WaitFor(UM_TAKE_RECOGNISED);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->lParam, 0);
    // Stream 5 holds the take for as long as the accompaniment played.
    EXPECT_NEAR(MM_GetStreamLength(5), MM_GetStreamLength(4), 15);
}

TEST_F(Playback, LiveKeyboardSoundsWhileTheStreamExists)
{
    UseFileDevice("", Path("live.wav"));
    ASSERT_EQ(MM_CreateRealTimeMIDIStream(0), 0);
    EXPECT_EQ(MM_RealTimeMIDINoteOn(60), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(MM_RealTimeMIDINoteOff(60), 0);
    EXPECT_EQ(MM_RealTimeMIDINoteOn(128), MM_ERR_FAIL);
    EXPECT_EQ(MM_FreeRealTimeMIDIStream(0), 0);
    EXPECT_EQ(MM_RealTimeMIDINoteOn(60), MM_ERR_FAIL);
    ReadBack out = ReadAudio(Path("live.wav"));
    float peak = 0;
    for (float v : out.samples)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.01f);
}

TEST_F(Playback, StyleDemoPlaysOnceAndReportsItsEnd)
{
    UseFileDevice("", Path("demo.wav"));
    ASSERT_EQ(MM_Play(Screen(), 0, 16), 0); // remembered as the window to tell
    std::vector<std::uint8_t> midi = FourNotes();
    ASSERT_EQ(MM_PlayStyleDemo(midi.data(), static_cast<int32_t>(midi.size()), 240), 0);
    auto stopped = m_log.WaitFor(UM_ENGINE_STOPPED);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->window, Screen());
    MM_Stop();
    // At twice the file's tempo the four notes take one second.
    ReadBack out = ReadAudio(Path("demo.wav"));
    std::size_t last = 0;
    for (std::size_t i = 0; i < out.Frames(); ++i)
        if (std::fabs(out.samples[i * 2]) > 0.01f)
            last = i;
    EXPECT_GT(last, static_cast<std::size_t>(kSampleRate) * 9 / 10);
    EXPECT_LT(last, static_cast<std::size_t>(kSampleRate) * 19 / 10);
}

} // namespace

// A minute of music: long enough that playing starts while it still renders.
std::vector<std::uint8_t> MinuteOfMusic()
{
    std::vector<SungNote> notes;
    for (int i = 0; i < 120; ++i)
        notes.push_back({48 + (i * 7) % 24, 1});
    return MakeMidiFile(120, notes);
}

TEST_F(Playback, PlayingWhileTheAccompanimentRendersSoundsAsTheFinishedRender)
{
    const std::vector<std::uint8_t> midi = MinuteOfMusic();
    struct Case {
        double start;
        const char* name;
    };
    for (const Case c : {Case{0.0, "from the start"}, Case{12.0, "from bar 13"}}) {
        // At once after the load: the render is still running.
        ASSERT_EQ(MM_LoadBaseCompose(midi.data(), static_cast<int32_t>(midi.size())), 0) << c.name;
        UseFileDevice("", Path("early.wav"));
        ASSERT_EQ(MM_Play(Screen(), c.start, 5), 0) << c.name;
        ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED)) << c.name;
        MM_Stop();
        // Again once everything is rendered.
        ASSERT_GT(MM_GetStreamLength(3), 55000);
        UseFileDevice("", Path("late.wav"));
        ASSERT_EQ(MM_Play(Screen(), c.start, 5), 0) << c.name;
        ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED)) << c.name;
        MM_Stop();
        const ReadBack early = ReadAudio(Path("early.wav"));
        const ReadBack late = ReadAudio(Path("late.wav"));
        ASSERT_GT(late.Frames(), static_cast<std::size_t>(kSampleRate) * 20) << c.name;
        // The same samples: no gap, no skip, nothing doubled, nothing cut.
        // The device may write a block of silence more or less after the end.
        const std::size_t common = std::min(early.samples.size(), late.samples.size());
        EXPECT_TRUE(std::equal(early.samples.begin(), early.samples.begin() + static_cast<std::ptrdiff_t>(common),
                               late.samples.begin()))
            << c.name;
        const auto& longer = early.samples.size() > common ? early.samples : late.samples;
        EXPECT_TRUE(std::all_of(longer.begin() + static_cast<std::ptrdiff_t>(common), longer.end(),
                                [](float v) { return v == 0.0f; }))
            << c.name;
    }
}

TEST_F(Playback, ANewAccompanimentReplacesOneStillRendering)
{
    const std::vector<std::uint8_t> minute = MinuteOfMusic();
    const std::vector<std::uint8_t> short_ = FourNotes();
    ASSERT_EQ(MM_LoadBaseCompose(minute.data(), static_cast<int32_t>(minute.size())), 0);
    ASSERT_EQ(MM_LoadBaseCompose(short_.data(), static_cast<int32_t>(short_.size())), 0);
    const int ms = MM_GetStreamLength(3);
    EXPECT_GE(ms, 2000);
    EXPECT_LE(ms, 4000) << "the first render was dropped";
    // The full accompaniment waits for the base one's render, then has its own.
    ASSERT_EQ(MM_LoadBaseCompose(minute.data(), static_cast<int32_t>(minute.size())), 0);
    ASSERT_EQ(MM_LoadCompose(short_.data(), static_cast<int32_t>(short_.size())), 0);
    EXPECT_GT(MM_GetStreamLength(3), 55000);
    EXPECT_LE(MM_GetStreamLength(4), 4000);
}

} // namespace melodrift::sonobox::test
