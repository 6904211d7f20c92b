#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "EngineFixture.h"

namespace melodrift::sonobox::test {
namespace {

const std::vector<SungNote> kScaleSong = {{60, 1}, {62, 1}, {64, 1}, {65, 1}, {67, 2}, {65, 1},
                                         {64, 1}, {62, 1}, {64, 1}, {62, 1}, {60, 1}};


std::vector<int> EngineMelody()
{
    int count = MM_GetMelodyInfo(nullptr, 0, 0);
    std::vector<std::int8_t> pitches(static_cast<std::size_t>(std::max(count, 0)));
    std::vector<std::uint16_t> lengths(pitches.size());
    EXPECT_EQ(MM_GetMelody(pitches.data(), lengths.data(), -1), count);
    std::vector<int> out;
    for (std::int8_t p : pitches)
        if (p != -128 && (out.empty() || out.back() != p))
            out.push_back(p);
    return out;
}

class Recording : public EngineFixture {};

TEST_F(Recording, SungTakeIsRecognisedAndReported)
{
    // The singer waits out the count-in bar and one more bar, then sings 3 bars.
    MonoBuffer voice = SingMelody(kScaleSong, 100, 8);
    WriteWav(Path("take.wav"), voice);
    UseFileDevice(Path("take.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);

    auto stopped = m_log.WaitFor(UM_ENGINE_STOPPED);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->window, Screen());
    EXPECT_EQ(stopped->wParam, 0); // the end of the material, not a lost device
    auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED);
    ASSERT_TRUE(recognised);
    int notes = static_cast<int>(recognised->wParam & 0xFFFF);
    int latency = static_cast<int>((recognised->wParam >> 16) & 0xFFFF);
    int leadIn = static_cast<int>(recognised->lParam & 0xFFFF);
    int bars = static_cast<int>((recognised->lParam >> 16) & 0xFFFF);
    EXPECT_EQ(latency, 0); // the file device has none
    EXPECT_EQ(leadIn, 1);
    EXPECT_EQ(bars, 3);
    EXPECT_GE(notes, 9);

    EXPECT_EQ(EngineMelody(), testsupport::SungPitches(kScaleSong));
    std::int32_t key = -2;
    EXPECT_EQ(MM_GetMelodyInfo(&key, 0, 0), 0);
    EXPECT_EQ(key, 0); // C major

    // The take starts at the melody's first bar: the lead-in bar is cut off.
    double beatMs = 600.0;
    double expectedMs = static_cast<double>(voice.size()) * 1000.0 / kSampleRate - 8 * beatMs;
    EXPECT_NEAR(MM_GetStreamLength(2), expectedMs, 30);
}

TEST_F(Recording, MelodyCanBeReadInAnotherKey)
{
    WriteWav(Path("take.wav"), SingMelody(kScaleSong, 100, 4));
    UseFileDevice(Path("take.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
    int count = MM_GetMelodyInfo(nullptr, 0, 0);
    ASSERT_GT(count, 0);
    std::vector<std::int8_t> pitches(static_cast<std::size_t>(count));
    std::vector<std::uint16_t> lengths(pitches.size());
    // In D-flat major every note is snapped onto that scale.
    int got = MM_GetMelody(pitches.data(), lengths.data(), 1);
    ASSERT_GT(got, 0);
    ASSERT_LE(got, count);
    const int scale[] = {1, 3, 5, 6, 8, 10, 0};
    for (int i = 0; i < got; ++i) {
        int p = pitches[static_cast<std::size_t>(i)];
        if (p != -128) {
            EXPECT_NE(std::find(std::begin(scale), std::end(scale), p % 12), std::end(scale)) << "note " << p;
        }
    }
    EXPECT_EQ(MM_GetMelody(pitches.data(), lengths.data(), 12), -1);
}

TEST_F(Recording, SilentTakeHasNoValidBars)
{
    WriteWav(Path("silence.wav"), MonoBuffer(kSampleRate * 6, 0.0f));
    UseFileDevice(Path("silence.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED);
    ASSERT_TRUE(recognised);
    EXPECT_EQ((recognised->lParam >> 16) & 0xFFFF, 0);
    EXPECT_EQ(MM_GetMelodyInfo(nullptr, 0, 0), 0);
}

TEST_F(Recording, ATakeWithoutBarsKeepsThePreviousMelody)
{
    WriteWav(Path("take.wav"), SingMelody(kScaleSong, 100, 4));
    WriteWav(Path("silence.wav"), MonoBuffer(kSampleRate * 6, 0.0f));
    WriteWav(Path("short.wav"), MonoBuffer(kSampleRate / 2, 0.0f)); // under the count-in bar
    UseFileDevice(Path("take.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
    const std::vector<int> melody = EngineMelody();
    ASSERT_EQ(melody, testsupport::SungPitches(kScaleSong));
    const int takeMs = MM_GetStreamLength(2);
    std::int32_t key = -2;
    MM_GetMelodyInfo(&key, 0, 0);

    struct Case {
        const char* name;
        const char* file;
        bool realtime;
        double start, punchIn, punchOut; // bars; -1 open
        bool stopAtOnce;
    };
    const Case cases[] = {
        {"silence", "silence.wav", false, 0, -1, -1, false},
        {"shorter than a bar", "short.wav", false, 0, -1, -1, false},
        {"cancelled in the count-in", "take.wav", true, 0, -1, -1, true},
        {"re-record stopped at once", "take.wav", true, 1, 1, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::setenv("MELODRIFT_AUDIO", ("file:" + Path(c.file) + (c.realtime ? ";realtime" : "")).c_str(), 1);
        ASSERT_EQ(MM_Record(Screen(), c.start, c.punchIn, c.punchOut, 0), 0);
        if (c.stopAtOnce) {
            EXPECT_EQ(MM_Stop(), 0);
        }
        auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED, std::chrono::seconds(20));
        ASSERT_TRUE(recognised);
        if (c.start == 0) { // a new take without bars is still reported as one
            EXPECT_EQ((recognised->lParam >> 16) & 0xFFFF, 0);
        }
        EXPECT_EQ(EngineMelody(), melody);
        std::int32_t keyNow = -2;
        MM_GetMelodyInfo(&keyNow, 0, 0);
        EXPECT_EQ(keyNow, key);
        EXPECT_NEAR(MM_GetStreamLength(2), takeMs, 1);
    }
}

TEST_F(Recording, ADeviceLostMidTakeIsSaidAndWhatCameIsKept)
{
    // Count-in bar and a bar of rest, then three bars; the device goes after
    // the first two sung bars (9.6 s at 100 bpm in 4/4).
    WriteWav(Path("take.wav"), SingMelody(kScaleSong, 100, 8));
    ::setenv("MELODRIFT_AUDIO", ("file:" + Path("take.wav") + ";lost=9600;realtime").c_str(), 1);
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    auto stopped = m_log.WaitFor(UM_ENGINE_STOPPED);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->wParam, MM_STOPPED_DEVICE_LOST);
    auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED);
    ASSERT_TRUE(recognised);
    const int bars = static_cast<int>((recognised->lParam >> 16) & 0xFFFF);
    EXPECT_GE(bars, 1);
    EXPECT_LE(bars, 2);
    const std::vector<int> sung = EngineMelody();
    const std::vector<int> all = testsupport::SungPitches(kScaleSong);
    ASSERT_GE(sung.size(), 4u);
    ASSERT_LT(sung.size(), all.size());
    EXPECT_TRUE(std::equal(sung.begin(), sung.end(), all.begin())) << "the notes sung before the loss";
}

// Holds the engine's capture worker whenever it posts a new recording volume
// until the full-speed device has either gone (everything it will deliver is
// then waiting in the capture queue) or stalled on a full queue. The device's
// speaker file shows how far it got.
struct WorkerHold {
    std::string speaker;
    std::uintmax_t lostBytes = 0; // speaker data once the device is gone

    static void OnPost(const PostedMessage& posted, void* context)
    {
        auto* self = static_cast<WorkerHold*>(context);
        if (posted.message != UM_RECORD_VOLUME)
            return;
        std::uintmax_t last = 0;
        auto still = std::chrono::steady_clock::now();
        for (;;) {
            std::error_code ec;
            const std::uintmax_t size = std::filesystem::file_size(self->speaker, ec);
            if (!ec && size >= self->lostBytes)
                break;
            const auto now = std::chrono::steady_clock::now();
            if (ec || size != last)
                still = now;
            else if (now - still > std::chrono::milliseconds(200))
                return; // stalled: the queue is full
            last = ec ? 0 : size;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // The device marks itself lost on its next turn.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
};

TEST_F(Recording, ADeviceLostWhileTheAnalysisLagsKeepsEverythingItDelivered)
{
    // As ADeviceLostMidTakeIsSaidAndWhatCameIsKept, but the device runs at full
    // speed and the worker that takes its input is held back (automatic level
    // posts from it) until the device has gone, so the input it delivered last
    // is still queued when the loss is seen.
    VoiceStyle style;
    style.noise = 0.05; // the automatic level moves from the count-in on
    WriteWav(Path("take.wav"), SingMelody(kScaleSong, 100, 8, style));
    constexpr std::int64_t kLostMs = 9600;
    constexpr std::size_t kBlock = 512; // the file device's block
    const std::size_t lostFrames = (kLostMs * kSampleRate / 1000 + kBlock - 1) / kBlock * kBlock;
    WorkerHold hold{Path("speaker.wav"), lostFrames * 2 * sizeof(float)};
    m_log.onPost = [&hold](const PostedMessage& posted) { WorkerHold::OnPost(posted, &hold); };
    ::setenv("MELODRIFT_AUDIO",
             ("file:" + Path("take.wav") + ";out=" + hold.speaker + ";lost=" + std::to_string(kLostMs)).c_str(), 1);
    ASSERT_EQ(MM_SetStreamVolume(1, 0.1f), 0); // quiet: the level goes up every second
    ASSERT_EQ(MM_SetRecordAutoAdjust(1), 0);
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    auto stopped = m_log.WaitFor(UM_ENGINE_STOPPED);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->wParam, MM_STOPPED_DEVICE_LOST);
    ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
    m_log.onPost = nullptr;
    // Everything sung in the two bars before the loss.
    const std::vector<int> sung = EngineMelody();
    EXPECT_EQ(sung, (std::vector<int>{60, 62, 64, 65, 67, 65, 64}));
}

TEST_F(Recording, StopEndsATakeEarlyAndStillRecognisesIt)
{
    // A realtime device would run for the whole file; Stop cuts it short.
    WriteWav(Path("long.wav"), SingMelody(kScaleSong, 100, 4));
    ::setenv("MELODRIFT_AUDIO", ("file:" + Path("long.wav") + ";realtime").c_str(), 1);
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int level = MM_GetStreamVolume(1);
    EXPECT_GE(level, 0); // a level while recording, the count-in is silent
    EXPECT_EQ(MM_Stop(), 0);
    auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED, std::chrono::seconds(5));
    ASSERT_TRUE(recognised);
    EXPECT_EQ((recognised->lParam >> 16) & 0xFFFF, 0); // nothing sung yet
    EXPECT_EQ(m_log.Count(UM_ENGINE_STOPPED), 0u);      // it did not end by itself
}

TEST_F(Recording, PunchInReplacesOnlyTheMarkedBars)
{
    WriteWav(Path("take.wav"), SingMelody(kScaleSong, 100, 4));
    UseFileDevice(Path("take.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
    ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
    int before = MM_GetStreamLength(2);
    ASSERT_GT(before, 0);

    // Re-sing bar 2 (from bar 1 on, one bar played before it) on one note.
    std::vector<SungNote> again = {{-1, 4}, {72, 4}, {72, 4}};
    WriteWav(Path("again.wav"), SingMelody(again, 100, 0));
    UseFileDevice(Path("again.wav"));
    ASSERT_EQ(MM_Record(Screen(), 1.0, 2.0, 3.0, 0), 0);
    auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED);
    ASSERT_TRUE(recognised);
    EXPECT_EQ(recognised->lParam & 0xFFFF, 0);
    std::vector<int> melody = EngineMelody();
    // Bars 0 and 1 keep the scale song (bar 1 was sung silent this time but
    // lies before the punch-in); bar 2 now holds the high C.
    std::vector<int> expected = {60, 62, 64, 65, 67, 65, 64, 72};
    EXPECT_EQ(melody, expected);
    EXPECT_EQ(MM_GetStreamLength(2), before);
}

TEST_F(Recording, CountInClicksComeBeforeTheAccompanimentUnderTheTake)
{
    // Two bars of accompaniment (a held C), heard under a mode 1 take.
    std::vector<std::uint8_t> midi = MakeMidiFile(100, {{60, 8}});
    ASSERT_EQ(MM_LoadBaseCompose(midi.data(), static_cast<int32_t>(midi.size())), 0);
    WriteWav(Path("take.wav"), SingMelody(kScaleSong, 100, 8));
    UseFileDevice(Path("take.wav"), Path("heard.wav"));
    ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 1), 0);
    ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
    MM_Stop();
    // The speaker: clicks on the four beats of the count-in bar, then music.
    MonoBuffer heard = ReadMonoOf(Path("heard.wav"));
    const std::size_t beat = kSampleRate * 60 / 100;
    ASSERT_GT(heard.size(), 6 * beat);
    for (std::size_t b = 0; b < 4; ++b) {
        // Loud at the click, quiet just before the next one.
        EXPECT_GT(Rms(heard.data() + b * beat, 400), 0.05) << "beat " << b;
        EXPECT_LT(Rms(heard.data() + (b + 1) * beat - 2000, 1000), 0.001) << "beat " << b;
    }
    EXPECT_GT(Rms(heard.data() + 4 * beat + 2000, beat), 0.01); // the accompaniment after the count-in
}

TEST_F(Recording, RefusesBadArgumentsAndReportsAMissingDevice)
{
    EXPECT_EQ(MM_Record(Screen(), 0, -1, -1, 3), MM_ERR_FAIL);
    EXPECT_EQ(MM_Record(Screen(), 0, 3.0, 2.0, 0), MM_ERR_FAIL);
    EXPECT_EQ(MM_Record(Screen(), std::nan(""), -1, -1, 0), MM_ERR_FAIL);
    ::setenv("MELODRIFT_AUDIO", ("file:" + Path("missing.wav")).c_str(), 1);
    EXPECT_EQ(MM_Record(Screen(), 0, -1, -1, 0), MM_ERR_CANTOPEN);
    // No file device and no sound card on a test machine: no device.
    ::unsetenv("MELODRIFT_AUDIO");
    int devices = MM_GetRecordDeviceInfo(20, std::vector<MM_RecordDeviceInfo>(20).data());
    if (devices == 0) {
        EXPECT_EQ(MM_Record(Screen(), 0, -1, -1, 0), MM_ERR_NODEVICE);
    }
}

} // namespace
} // namespace melodrift::sonobox::test
