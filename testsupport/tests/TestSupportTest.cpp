#include "LogLines.h"
#include "MidiBytes.h"
#include "MidiSummary.h"
#include "PostedMessages.h"
#include "SungTake.h"
#include "TempFolder.h"
#include "WavFile.h"

#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

#include <array>

#include <cmath>
#include <fstream>
#include <thread>

using namespace melodrift::testsupport;

namespace {

// Frequency from zero crossings over a stretch of a mostly periodic signal.
double CrossingHz(const std::vector<float>& s, std::size_t from, std::size_t count, int rate)
{
    std::size_t crossings = 0;
    for (std::size_t i = from + 1; i < from + count; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings * 0.5 * rate / static_cast<double>(count);
}

double Rms(const std::vector<float>& s, std::size_t from, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(count));
}

TEST(TestSupport, TempFoldersAreDistinctAndGoWithTheirContents)
{
    std::filesystem::path kept;
    {
        TempFolder a("support"), b("support");
        EXPECT_NE(a.Path(), b.Path());
        ASSERT_TRUE(std::filesystem::is_directory(a.Path()));
        std::filesystem::create_directories(a.File("sub/deeper"));
        std::ofstream(a.File("b.txt")) << "x";
        std::ofstream(a.File("a.txt")) << "y";
        EXPECT_EQ(a.Files(), (std::vector<std::string>{"a.txt", "b.txt", "sub"}));
        kept = a.Path();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(TestSupport, SungTakeHasItsNotesAtTheirPitchAndPlace)
{
    // 120 beats a minute: a beat is 22050 samples at 44.1 kHz.
    Voice voice;
    voice.vibratoCents = 0;
    voice.harmonics = 1;
    const std::vector<float> take = Sing({{69, 2}, {-1, 1}, {57, 1}}, 120, 1, voice, 0.25);
    const std::size_t beat = 22050;
    ASSERT_EQ(take.size(), 5 * beat + kTakeRate / 4);
    EXPECT_EQ(Rms(take, 0, beat), 0.0) << "the lead-in is silent";
    EXPECT_NEAR(CrossingHz(take, beat + 2000, beat, kTakeRate), 440.0, 2.0);
    EXPECT_EQ(Rms(take, 3 * beat, beat), 0.0) << "a rest is silent";
    EXPECT_NEAR(CrossingHz(take, 4 * beat + 2000, beat - 4000, kTakeRate), 220.0, 2.0);

    voice.breath = 0.1;
    voice.noise = 0.01;
    const std::vector<float> breathy = Sing({{69, 1}}, 120, 0, voice, 0);
    EXPECT_LT(Rms(breathy, beat - 4000, 4000), 0.02) << "the breath at the note's end holds only noise";
    EXPECT_GT(Rms(breathy, beat - 4000, 4000), 0.005);
    EXPECT_EQ(breathy, Sing({{69, 1}}, 120, 0, voice, 0)) << "the same seed gives the same take";

    EXPECT_EQ(SungPitches({{60, 1}, {60, 1}, {-1, 1}, {60, 1}, {62, 1}, {60, 2}}), (std::vector<int>{60, 62, 60}))
        << "repeats merge across a rest; rests are not pitches";
}

TEST(TestSupport, WavFilesReadBackAsWritten)
{
    TempFolder folder;
    const std::vector<int16_t> pcm = {0, 1000, -1000, 32767, -32768, 5};
    ASSERT_TRUE(WriteWav(folder.File("pcm.wav"), pcm, 22050, 2));
    Audio a = ReadAudio(folder.File("pcm.wav"));
    ASSERT_TRUE(a.Ok());
    EXPECT_EQ(a.rate, 22050);
    EXPECT_EQ(a.channels, 2);
    ASSERT_EQ(a.Frames(), 3u);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        EXPECT_FLOAT_EQ(a.samples[i], pcm[i] / 32768.0f) << i;
    EXPECT_FLOAT_EQ(a.Mono()[1], (-1000 + 32767) / 2.0f / 32768.0f);
    EXPECT_FLOAT_EQ(a.Peak(), 1.0f);

    const std::vector<float> wave = {0.25f, -0.5f, 0.75f};
    ASSERT_TRUE(WriteWav(folder.File("float.wav"), wave));
    Audio b = ReadAudio(folder.File("float.wav"));
    EXPECT_EQ(b.rate, kTakeRate);
    EXPECT_EQ(b.samples, wave);

    EXPECT_FALSE(ReadAudio(folder.File("missing.wav")).Ok());
    EXPECT_FALSE(WriteWav(folder.File("no/such/folder.wav"), pcm));
}

TEST(TestSupport, MidiBytesAreReadByTheIndependentReader)
{
    MidiBytes file(1, 480);
    file.Track().Raw({0x00, 0xFF, 0x03, 7, 'c', 'o', 'n', 'd', 'u', 'c', 't'}).Tempo(120).End();
    file.Track().Program(0, 0).Note(60, 480).Note(62, 480, 480).Note(64, 960).End();
    const MidiSummary summary = SummariseMidi(file.Bytes());
    ASSERT_TRUE(summary.ok) << summary.error;
    EXPECT_EQ(summary.type, 1);
    EXPECT_EQ(summary.ticksPerBeat, 480);
    ASSERT_EQ(summary.tracks.size(), 2u);
    EXPECT_EQ(summary.tracks[0].name, "conduct");
    EXPECT_EQ(summary.tracks[1].noteOns, 3);
    EXPECT_EQ(summary.tracks[1].lengthTicks, 480 + 480 + 480 + 960);
    std::vector<std::array<long, 3>> notes;
    for (const MidiNoteOn& n : summary.tracks[1].notes)
        notes.push_back({n.tick, n.channel, n.note});
    EXPECT_EQ(notes, (std::vector<std::array<long, 3>>{{0, 0, 60}, {960, 0, 62}, {1440, 0, 64}})) << "after a gap";
    EXPECT_EQ(summary.tracks[1].programs, std::vector<int>{0});
    EXPECT_EQ(summary.NoteOns(), 3);
    EXPECT_NEAR(summary.seconds, 2.5, 1e-6) << "five beats at 120";

    const MidiSummary broken = SummariseMidi(std::vector<uint8_t>{'M', 'T', 'h', 'd', 0, 0});
    EXPECT_FALSE(broken.ok);
    EXPECT_FALSE(broken.error.empty());
}

TEST(TestSupport, CollectorsHearOtherThreads)
{
    LogLines log;
    PostedMessages posted;
    int seen = 0;
    posted.onPost = [&](const PostedMessage&) { ++seen; };
    MDP_Window window = &seen;
    std::thread worker([&] {
        MDP_DebugOutput("first %d", 1);
        MDP_PostMessage(window, 7, 1, 2);
        MDP_DebugOutput("first %d", 2);
        MDP_PostMessage(window, 9, 3, 4);
    });
    const auto nine = posted.WaitFor(9, std::chrono::seconds(10));
    worker.join();
    ASSERT_TRUE(nine.has_value());
    EXPECT_EQ(nine->lParam, 4);
    EXPECT_EQ(posted.Count(9), 0u) << "a message waited for is taken";
    EXPECT_EQ(posted.Count(7), 1u) << "earlier others stay";
    EXPECT_TRUE(posted.WaitUntil([](const PostedMessage& m) { return m.wParam == 1; }).has_value());
    EXPECT_EQ(posted.To(window).size(), 1u);
    EXPECT_EQ(posted.Take().size(), 1u);
    EXPECT_TRUE(posted.Snapshot().empty());
    EXPECT_FALSE(posted.WaitFor(9, std::chrono::milliseconds(10)).has_value());
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(log.Count("first"), 2);
    EXPECT_FALSE(log.Contains("second"));
}

} // namespace
