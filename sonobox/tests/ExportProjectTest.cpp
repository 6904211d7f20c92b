#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "EngineFixture.h"
#include "SoundFile.h"

namespace melodrift::sonobox::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Decoded {
    SF_INFO info{};
    double rms = 0;
};

Decoded Decode(const std::string& path)
{
    Decoded d;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &d.info);
    if (!file)
        return d;
    std::vector<float> all(static_cast<std::size_t>(d.info.frames * d.info.channels));
    sf_count_t got = sf_readf_float(file, all.data(), d.info.frames);
    sf_close(file);
    d.rms = Rms(all.data(), static_cast<std::size_t>(got * d.info.channels));
    return d;
}

bool OnlyFile(const std::string& dir, const std::string& name)
{
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename() != name && entry.path().extension() != ".wav")
            return false;
    return true;
}

class ExportAndProject : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        if (HasFatalFailure())
            return;
        m_midi = MakeMidiFile(100, {{60, 4}, {64, 4}, {67, 4}});
        ASSERT_EQ(MM_LoadCompose(m_midi.data(), static_cast<int32_t>(m_midi.size())), 0);
        std::vector<SungNote> song = {{67, 2}, {69, 2}, {71, 2}, {72, 2}, {71, 4}};
        WriteWav(Path("take.wav"), SingMelody(song, 100, 4));
        UseFileDevice(Path("take.wav"));
        ASSERT_EQ(MM_Record(Screen(), 0, -1, -1, 0), 0);
        ASSERT_TRUE(m_log.WaitFor(UM_ENGINE_STOPPED));
        ASSERT_TRUE(m_log.WaitFor(UM_TAKE_RECOGNISED));
        ::unsetenv("MELODRIFT_AUDIO");
        MM_VoiceSegment segments[] = {{-1, 1}, {0, 3}};
        ASSERT_EQ(MM_CombineSong(0, 2, segments, nullptr), 0);
    }

    std::vector<std::uint8_t> m_midi;
};

TEST_F(ExportAndProject, WavAndMp3ExportsReadBackWithTheSongsLength)
{
    struct Case {
        const char* name;
        int type;
    };
    for (Case c : {Case{"song.wav", MM_FILE_WAV}, Case{"song.mp3", MM_FILE_MP3}}) {
        if (c.type == MM_FILE_MP3 && !CanWriteMp3()) {
            int32_t result = 0;
            EXPECT_EQ(MM_Save(Screen(), 3, Path(c.name).c_str(), c.type, &result), MM_ERR_UNSUPPORTED);
            EXPECT_EQ(m_log.WaitFor(UM_PROGRESS_FAILED)->wParam, MM_ERR_UNSUPPORTED);
            continue;
        }
        int32_t result = 0;
        ASSERT_EQ(MM_Save(Screen(), 0, Path(c.name).c_str(), c.type, &result), 0) << c.name;
        EXPECT_TRUE(m_log.WaitFor(UM_PROGRESS_DONE, std::chrono::seconds(1))) << c.name;
        EXPECT_EQ(m_log.Count(UM_PROGRESS_FAILED), 0u);
        EXPECT_EQ(static_cast<std::uintmax_t>(result), fs::file_size(Path(c.name)));
        Decoded d = Decode(Path(c.name));
        EXPECT_EQ(d.info.channels, 2) << c.name;
        EXPECT_EQ(d.info.samplerate, kSampleRate) << c.name;
        double seconds = static_cast<double>(d.info.frames) / kSampleRate;
        double expected = std::max(MM_GetStreamLength(4), MM_GetStreamLength(5)) / 1000.0;
        EXPECT_NEAR(seconds, expected, 0.1) << c.name; // MP3 adds a frame or two of padding
        EXPECT_GT(d.rms, 0.01) << c.name;
        EXPECT_TRUE(OnlyFile(m_dir, c.name)) << "no temporary file left";
        fs::remove(Path(c.name));
    }
}

TEST_F(ExportAndProject, TrackBitsChooseVoiceAccompanimentOrBoth)
{
    auto rmsOf = [&](int tracks) {
        std::string path = Path("t" + std::to_string(tracks) + ".wav");
        EXPECT_EQ(MM_Save(Screen(), tracks, path.c_str(), MM_FILE_WAV, nullptr), 0);
        return Decode(path).rms;
    };
    double voice = rmsOf(1), accompaniment = rmsOf(2), both = rmsOf(3);
    EXPECT_GT(voice, 0.005);
    EXPECT_GT(accompaniment, 0.005);
    EXPECT_GT(both, std::max(voice, accompaniment));
    // A muted voice leaves nothing to hear on the voice track.
    MM_SetStreamVolume(5, 0.0f);
    EXPECT_EQ(rmsOf(1), 0.0);
}

TEST_F(ExportAndProject, MidiExportIsTheComposedFileWithTheMelodyTrack)
{
    ASSERT_EQ(MM_Save(Screen(), 3, Path("song.mid").c_str(), MM_FILE_MIDI, nullptr), 0);
    const auto written = ReadBytes(Path("song.mid"));
    ASSERT_GT(written.size(), m_midi.size());
    // The composer's tracks as they were, one more track counted.
    EXPECT_TRUE(std::equal(m_midi.begin() + 14, m_midi.end(), written.begin() + 14));
    EXPECT_EQ((written[10] << 8 | written[11]), (m_midi[10] << 8 | m_midi[11]) + 1);
    const std::string added(written.begin() + static_cast<std::ptrdiff_t>(m_midi.size()), written.end());
    EXPECT_EQ(added.substr(0, 4), "MTrk");
    EXPECT_NE(added.find("Melody"), std::string::npos);
}

TEST_F(ExportAndProject, CancelledOrFailedExportLeavesTheOldFileAlone)
{
    WriteBytes(Path("keep.wav"), {'o', 'l', 'd'});
    // Cancel as soon as the first progress report arrives, as the dialog's
    // close button would.
    m_log.onPost = [](const PostedMessage& m) {
        if (m.message == UM_PROGRESS_STEP)
            MM_CancelSave();
    };
    int32_t result = 0;
    EXPECT_EQ(MM_Save(Screen(), 3, Path("keep.wav").c_str(), MM_FILE_WAV, &result), MM_ERR_CANCELLED);
    m_log.onPost = nullptr;
    EXPECT_EQ(result, MM_ERR_CANCELLED);
    EXPECT_EQ(m_log.Count(UM_PROGRESS_DONE), 0u);
    EXPECT_EQ(m_log.Count(UM_PROGRESS_FAILED), 0u);
    EXPECT_EQ(ReadBytes(Path("keep.wav")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2); // take.wav, keep.wav

    // A folder that does not exist: failure reported, nothing created.
    std::string nowhere = Path("missing/song.wav");
    EXPECT_EQ(MM_Save(Screen(), 3, nowhere.c_str(), MM_FILE_WAV, &result), MM_ERR_IO);
    auto failed = m_log.WaitFor(UM_PROGRESS_FAILED, std::chrono::seconds(1));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->wParam, MM_ERR_IO);
    EXPECT_NE(failed->wParam, 1); // never mistaken for the dialog's success
    EXPECT_EQ(MM_Save(Screen(), 3, Path("x.wav").c_str(), 7, nullptr), MM_ERR_FAIL);
}

TEST_F(ExportAndProject, ProjectBlockRestoresTakesAndMelody)
{
    int count = MM_GetMelodyInfo(nullptr, 0, 0);
    ASSERT_GT(count, 0);
    std::vector<std::int8_t> pitches(static_cast<std::size_t>(count));
    std::vector<std::uint16_t> lengths(pitches.size());
    MM_GetMelody(pitches.data(), lengths.data(), -1);
    int takeMs = MM_GetStreamLength(2), voiceMs = MM_GetStreamLength(5);

    // The program's own part comes first.
    std::vector<std::uint8_t> programPart(1234, 0x5A);
    WriteBytes(Path("song.cpj"), programPart);
    int appended = MM_SaveProject(Screen(), Path("song.cpj").c_str());
    ASSERT_GT(appended, 0);
    EXPECT_EQ(fs::file_size(Path("song.cpj")), programPart.size() + static_cast<std::size_t>(appended));

    // A new engine, as after a restart.
    ASSERT_EQ(MM_DestroyObjects(), 0);
    ASSERT_EQ(MM_InitialObjects(MainWindow(), m_bin.c_str()), 0);
    MM_SetTempo(100);
    EXPECT_EQ(MM_GetStreamLength(2), 0);
    EXPECT_EQ(MM_LoadProject(Screen(), Path("song.cpj").c_str(), 1234, 0x00040002, 0), 1);
    EXPECT_EQ(MM_GetStreamLength(2), takeMs);
    EXPECT_EQ(MM_GetStreamLength(5), voiceMs);
    ASSERT_EQ(MM_GetMelodyInfo(nullptr, 0, 0), count);
    std::vector<std::int8_t> again(pitches.size());
    std::vector<std::uint16_t> againLengths(pitches.size());
    MM_GetMelody(again.data(), againLengths.data(), -1);
    EXPECT_EQ(again, pitches);
    EXPECT_EQ(againLengths, lengths);
}

TEST_F(ExportAndProject, BrokenProjectBlocksAreRefusedAndLeaveNothingBehind)
{
    WriteBytes(Path("song.cpj"), std::vector<std::uint8_t>(100, 1));
    int appended = MM_SaveProject(Screen(), Path("song.cpj").c_str());
    ASSERT_GT(appended, 0);
    std::vector<std::uint8_t> good = ReadBytes(Path("song.cpj"));

    struct Damage {
        const char* name;
        void (*apply)(std::vector<std::uint8_t>&);
    };
    const Damage damages[] = {
        {"cut in the middle", [](std::vector<std::uint8_t>& b) { b.resize(100 + (b.size() - 100) / 2); }},
        {"cut after the magic", [](std::vector<std::uint8_t>& b) { b.resize(106); }},
        {"wrong magic", [](std::vector<std::uint8_t>& b) { b[100] = 'X'; }},
        {"block longer than the file", [](std::vector<std::uint8_t>& b) { b[100 + 11] = 0x7F; }},
        {"huge take length", [](std::vector<std::uint8_t>& b) {
             // first take's byte count: after magic, format, size, tempo, metre,
             // 6 volumes, 11 effects, take count, stream, samples
             std::size_t at = 100 + 12 + 8 + 24 + 44 + 4 + 8;
             b[at + 3] = 0x7F;
         }},
        {"flac bytes scrambled", [](std::vector<std::uint8_t>& b) {
             std::size_t at = 100 + 12 + 8 + 24 + 44 + 4 + 12;
             for (std::size_t i = at; i < at + 64; ++i)
                 b[i] ^= 0xA5;
         }},
    };
    for (const Damage& d : damages) {
        std::vector<std::uint8_t> bytes = good;
        d.apply(bytes);
        WriteBytes(Path("bad.cpj"), bytes);
        EXPECT_LT(MM_LoadProject(Screen(), Path("bad.cpj").c_str(), 100, 0x00040002, 0), 0) << d.name;
        EXPECT_EQ(MM_GetStreamLength(2), 0) << d.name;
        EXPECT_EQ(MM_GetStreamLength(5), 0) << d.name;
        EXPECT_EQ(MM_GetMelodyInfo(nullptr, 0, 0), 0) << d.name;
    }
    EXPECT_LT(MM_LoadProject(Screen(), Path("song.cpj").c_str(), 1 << 30, 0, 0), 0);
    EXPECT_LT(MM_LoadProject(Screen(), Path("none.cpj").c_str(), 0, 0, 0), 0);
    EXPECT_LT(MM_SaveProject(Screen(), Path("none.cpj").c_str()), 0); // the program writes its part first
}

} // namespace
} // namespace melodrift::sonobox::test
