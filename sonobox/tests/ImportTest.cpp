#include <algorithm>
#include <filesystem>
#include <fstream>

#include "EngineFixture.h"
#include "SoundFile.h"

namespace melodrift::sonobox::test {
namespace {

namespace fs = std::filesystem;

const std::vector<SungNote> kTune = {{64, 1}, {62, 1}, {60, 2}, {62, 1}, {64, 1}, {67, 2}, {64, 4}};

std::vector<int> PitchedMelody()
{
    int count = MM_GetMelodyInfo(nullptr, 0, 0);
    std::vector<std::int8_t> pitches(static_cast<std::size_t>(std::max(count, 0)));
    std::vector<std::uint16_t> lengths(pitches.size());
    MM_GetMelody(pitches.data(), lengths.data(), -1);
    std::vector<int> out;
    for (std::int8_t p : pitches)
        if (p != -128 && (out.empty() || out.back() != p))
            out.push_back(p);
    return out;
}

class Import : public EngineFixture {};

TEST_F(Import, WavFileIsRecognisedLikeATake)
{
    WriteWav(Path("sung.wav"), SingMelody(kTune, 100, 4));
    int notes = MM_LoadAudio(Screen(), Path("sung.wav").c_str());
    EXPECT_GE(notes, 5);
    auto recognised = m_log.WaitFor(UM_TAKE_RECOGNISED, std::chrono::seconds(1));
    ASSERT_TRUE(recognised);
    EXPECT_EQ(recognised->wParam & 0xFFFF, notes);
    EXPECT_EQ(recognised->lParam & 0xFFFF, 1); // one bar of silence before the tune
    EXPECT_EQ(PitchedMelody(), (std::vector<int>{64, 62, 60, 62, 64, 67, 64}));
    EXPECT_GT(MM_GetStreamLength(2), 0);
    EXPECT_LT(MM_LoadAudio(Screen(), Path("missing.wav").c_str()), 0);
}

TEST_F(Import, MidiMelodyBecomesTheRecognisedMelody)
{
    std::vector<std::uint8_t> midi = MakeMidiFile(100, kTune);
    {
        std::ofstream file(Path("tune.mid"), std::ios::binary);
        file.write(reinterpret_cast<const char*>(midi.data()), static_cast<std::streamsize>(midi.size()));
    }
    int notes = MM_LoadMidiMelody(Screen(), Path("tune.mid").c_str(), -1);
    ASSERT_GT(notes, 0);
    EXPECT_EQ(PitchedMelody(), (std::vector<int>{64, 62, 60, 62, 64, 67, 64}));
    EXPECT_LT(MM_LoadMidiMelody(Screen(), Path("missing.mid").c_str(), -1), 0);
}

TEST_F(Import, OldProjectAudioBlocksAreReadFromTheirOffsets)
{
    // An old project holds compressed audio at some offset; write one with
    // the engine's own export and wrap it in other bytes.
    std::vector<SungNote> tune = {{60, 4}, {67, 4}};
    WriteWav(Path("take.wav"), SingMelody(tune, 100, 0));
    ASSERT_GT(MM_LoadAudio(Screen(), Path("take.wav").c_str()), 0);
    MM_VoiceSegment whole[] = {{0, 2}};
    ASSERT_EQ(MM_CombineSong(0, 1, whole, nullptr), 0);
    ASSERT_EQ(MM_Save(Screen(), 1, Path("voice.wav").c_str(), MM_FILE_WAV, nullptr), 0);
    std::ifstream in(Path("voice.wav"), std::ios::binary);
    std::vector<char> audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<char> project(300 + audio.size() + 50, 'q');
    std::fill_n(project.begin(), 300, 'p');
    std::copy(audio.begin(), audio.end(), project.begin() + 300);
    {
        std::ofstream out(Path("old.cpj"), std::ios::binary);
        out.write(project.data(), static_cast<std::streamsize>(project.size()));
    }
    ASSERT_EQ(MM_DestroyObjects(), 0);
    ASSERT_EQ(MM_InitialObjects(MainWindow(), m_bin.c_str()), 0);
    auto size = static_cast<int32_t>(audio.size());
    EXPECT_EQ(MM_LoadAudioMP3(Path("old.cpj").c_str(), 300, size), size);
    EXPECT_EQ(MM_LoadSongMP3(Path("old.cpj").c_str(), 300, size), size);
    EXPECT_GT(MM_GetStreamLength(2), 4000);
    EXPECT_EQ(MM_GetStreamLength(5), MM_GetStreamLength(2));
    // Ranges past the end of the file or into the wrapper are refused.
    EXPECT_LT(MM_LoadAudioMP3(Path("old.cpj").c_str(), 300, size + 100), 0);
    EXPECT_LT(MM_LoadSongMP3(Path("old.cpj").c_str(), 0, 200), 0);
    EXPECT_LT(MM_LoadAudioMP3(Path("old.cpj").c_str(), -5, 10), 0);
    // A project without a final take has an empty block for it.
    EXPECT_EQ(MM_LoadSongMP3(Path("old.cpj").c_str(), static_cast<int32_t>(project.size()), 0), 0);
    EXPECT_EQ(MM_GetStreamLength(5), 0);

    // Version-1 files of minor version 0 have their take length set afterwards.
    EXPECT_EQ(MM_SetStreamLength(2, 9000), 0);
    EXPECT_EQ(MM_GetStreamLength(2), 9000);
    EXPECT_EQ(MM_SetStreamLength(2, 1000), 0);
    EXPECT_EQ(MM_GetStreamLength(2), 1000);
    EXPECT_EQ(MM_SetStreamLength(3, 1000), -1); // nothing rendered to cut
    EXPECT_EQ(MM_SetStreamLength(9, 1000), -1);
    EXPECT_EQ(MM_SetStreamLength(2, -1), -1);
}

} // namespace
} // namespace melodrift::sonobox::test
