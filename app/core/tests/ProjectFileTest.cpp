#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "ByteStream.h"
#include "FakeEngine.h"
#include "ProjectFile.h"
#include "ProjectFormat.h"
#include "SettingsStore.h"
#include "SongModel.h"
#include "TempFolder.h"

namespace melodrift {
namespace {

namespace fs = std::filesystem;
using test::Fake;

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

// A song with something in every field the file holds.
TSongModel RichSong()
{
    TSongModel s;
    s.genreMask = 0x805;
    s.styleId = 7;
    s.SetFlag(kFlagProjectOption, true);
    s.metre = 1;
    s.tempo = 96;
    s.key = 10;
    s.lastComposeKey = 3;
    s.timbreLibraryName = "Pop default.sf2";
    s.recordVolume = 0.75f;
    s.speakerVolume = 0.5f;
    s.voiceVolume = 0.9f;
    s.accompanimentVolume = 0.6f;
    for (int i = 0; i < 5; ++i) {
        tagMelodyBar& bar = s.AddBar();
        bar.chords = {static_cast<int8_t>(i * 5), static_cast<int8_t>(i == 1 ? 7 : -1)};
        bar.fill = static_cast<int8_t>(i == 3 ? 1 : -1);
        for (int t = 0; t < kBarTicks; ++t)
            bar.levels[t] = i * 1000 + t;
    }
    s.stages = {{0, 2, 1}, {3, 4, 3}};
    s.songForm = {{256, 2, -1, 7, {}}, {0, 3, 1, 7, {MakeFill(2, 0)}}, {1, 2, 3, 8, {MakeFill(0, 1), MakeFill(1, 0)}},
                  {272, 2, -1, 7, {}}};
    for (int i = 0; i < 9; ++i) {
        tagBarVols& v = s.barVols.emplace_back();
        v.levels[5] = 50 + i;
    }
    s.openStep = 3;
    s.effectStates = {1, 0, 0, 2, 3, 0, 1, 0, 0, 2, 1};
    return s;
}

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::InstallFakeEngine();
        Fake().streamLength = {{2, 5000}, {5, 9000}};
        Fake().melodyBars = 5;
        Fake().pitches = {60};
        Fake().lengths = {192};
    }

    std::string Path(const char* name) const { return (m_dir / name).string(); }

    // Saves RichSong() as a user save and returns the file's bytes.
    std::vector<uint8_t> SaveRich(const std::string& path)
    {
        TSongModel song = RichSong();
        EXPECT_TRUE(SaveProject(song, path, m_window));
        return ReadFile(path);
    }

    testsupport::TempFolder m_folder{"appcore_project"};
    fs::path m_dir = m_folder.Path();
    test::MessageLog m_log;
    int m_dialog = 0;
    MDP_Window m_window = &m_dialog;
};

TEST_F(ProjectFile, RoundTripGivesTheSameSong)
{
    const std::string path = Path("song.cpj");
    TSongModel song = RichSong();
    ASSERT_TRUE(SaveProject(song, path, m_window));
    EXPECT_EQ(song.projectPath, path);
    EXPECT_FALSE(song.IsModified());
    const auto bytes = ReadFile(path);
    uint32_t total = 0;
    std::memcpy(&total, bytes.data() + 4, 4);
    EXPECT_EQ(total, bytes.size());

    TSongModel fresh;
    ASSERT_EQ(OpenProject(fresh, path, m_window), kProjectOk);
    const TSongModel original = RichSong();
    EXPECT_EQ(fresh.genreMask, original.genreMask);
    EXPECT_EQ(fresh.styleId, 7);
    EXPECT_EQ(fresh.styleFileName, "Style7");
    EXPECT_TRUE(fresh.Flag(kFlagProjectOption));
    EXPECT_EQ(fresh.metre, 1);
    EXPECT_EQ(fresh.tempo, 96);
    EXPECT_EQ(fresh.key, 10);
    EXPECT_EQ(fresh.lastComposeKey, 3);
    EXPECT_EQ(fresh.timbreLibraryName, original.timbreLibraryName);
    EXPECT_FLOAT_EQ(fresh.recordVolume, 0.75f);
    EXPECT_FLOAT_EQ(fresh.accompanimentVolume, 0.6f);
    EXPECT_EQ(fresh.bars, original.bars);
    EXPECT_EQ(fresh.stages, original.stages);
    EXPECT_EQ(fresh.songForm, original.songForm);
    ASSERT_EQ(fresh.barVols.size(), 9u);
    EXPECT_EQ(fresh.barVols[8].levels[5], 58);
    EXPECT_FALSE(fresh.barVols[0].voiced);
    EXPECT_EQ(fresh.openStep, 3);
    EXPECT_EQ(fresh.effectStates, original.effectStates);
    EXPECT_TRUE(fresh.Flag(kFlagMelody));
    EXPECT_TRUE(fresh.Flag(kFlagFinalTake));
    EXPECT_FALSE(fresh.IsModified());
    EXPECT_EQ(fresh.projectPath, path);
    // The engine's block starts right after the program's part.
    EXPECT_EQ(static_cast<size_t>(Fake().loadProjectOffset), bytes.size() - Fake().engineBlockSize);
    EXPECT_EQ(Fake().loadProjectVersion, kProjectVersion);
    const auto messages = m_log.Take();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, static_cast<uint32_t>(UM_PROGRESS_DONE));
    EXPECT_EQ(messages[1].message, static_cast<uint32_t>(UM_PROGRESS_DONE));
}

TEST_F(ProjectFile, ASongLongerThanTheFirstReadStillOpens)
{
    TSongModel song = RichSong();
    for (int i = 0; i < 2500; ++i)
        song.AddBar().levels[i % kBarTicks] = i;  // about 1.2 MB of bars
    Fake().engineBlockSize = 3000;
    ASSERT_TRUE(SaveProject(song, Path("long.cpj"), m_window));
    TSongModel opened;
    ASSERT_EQ(OpenProject(opened, Path("long.cpj"), m_window), kProjectOk);
    EXPECT_EQ(opened.bars, song.bars);
    EXPECT_EQ(static_cast<uintmax_t>(Fake().loadProjectOffset), fs::file_size(Path("long.cpj")) - 3000);

    auto bytes = ReadFile(Path("long.cpj"));
    bytes.resize(bytes.size() - 3000 - 100);  // the bars run past the end
    PutU32(bytes, 4, static_cast<uint32_t>(bytes.size()));
    WriteFile(Path("cut.cpj"), bytes);
    EXPECT_EQ(OpenProject(opened, Path("cut.cpj"), m_window), kProjectDamaged);
}

TEST_F(ProjectFile, SavingTwiceWithoutChangesGivesTheSameBytes)
{
    const auto first = SaveRich(Path("a.cpj"));
    const auto second = SaveRich(Path("b.cpj"));
    EXPECT_EQ(first, second);
}

TEST_F(ProjectFile, BrokenFilesAreRefusedBeforeTheSongChanges)
{
    const auto good = SaveRich(Path("good.cpj"));
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t result;
    };
    auto withVersion = [&](uint32_t word) {
        auto b = good;
        PutU32(b, 0, word);
        return b;
    };
    auto truncated = good;
    truncated.pop_back();
    auto hugeBars = good;                     // bar count at 33 + name length 16
    PutU32(hugeBars, 8 + 4 + 4 + 1 + 12 + 4 + 16 + 16, 0x7FFFFFFF);
    auto negativeName = good;
    PutU32(negativeName, 8 + 4 + 4 + 1 + 12, 0xFFFFFFF0);
    auto badMetre = good;
    PutU32(badMetre, 8 + 4 + 4 + 1, 9);
    const Case cases[] = {
        {"last byte missing", truncated, kProjectDamaged},
        {"version 2.5", withVersion(0x00020005), kProjectBadVersion},
        {"version 3.0", withVersion(0x00030000), kProjectBadVersion},
        {"version 0.x", withVersion(0x00050000), kProjectBadVersion},
        {"bar count beyond the file", hugeBars, kProjectDamaged},
        {"negative name length", negativeName, kProjectDamaged},
        {"impossible metre", badMetre, kProjectDamaged},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 8), kProjectDamaged},
        {"empty file", {}, kProjectDamaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto bytes = c.bytes;
        if (bytes.size() >= 8 && c.result != kProjectDamaged)
            PutU32(bytes, 4, static_cast<uint32_t>(bytes.size()));
        if (std::string(c.what) != "last byte missing" && bytes.size() >= 8)
            PutU32(bytes, 4, static_cast<uint32_t>(bytes.size()));
        WriteFile(Path("broken.cpj"), bytes);
        TSongModel song;
        song.AddBar().chords = {4, -1};
        song.key = 2;
        const TSongModel before = song;
        m_log.Take();
        EXPECT_EQ(OpenProject(song, Path("broken.cpj"), m_window), c.result);
        EXPECT_EQ(song.bars, before.bars);
        EXPECT_EQ(song.key, 2);
        const auto messages = m_log.Take();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].message, static_cast<uint32_t>(UM_PROGRESS_FAILED));
        EXPECT_EQ(static_cast<uint32_t>(messages[0].wParam), c.result);
    }
    TSongModel song;
    EXPECT_EQ(OpenProject(song, Path("missing.cpj"), m_window), kProjectCannotOpen);
}

TEST_F(ProjectFile, VersionTwoThreeHasNoOptionByte)
{
    // Rewrite a 2.4 file as 2.3: drop the option byte after the style.
    auto bytes = SaveRich(Path("new.cpj"));
    const size_t optionAt = 8 + 4 + 4;
    ASSERT_EQ(bytes[optionAt], 1);
    bytes.erase(bytes.begin() + optionAt);
    PutU32(bytes, 0, 0x00020003);
    PutU32(bytes, 4, static_cast<uint32_t>(bytes.size()));
    WriteFile(Path("old.cpj"), bytes);
    TSongModel song;
    song.SetFlag(kFlagProjectOption, true);
    ASSERT_EQ(OpenProject(song, Path("old.cpj"), m_window), kProjectOk);
    EXPECT_FALSE(song.Flag(kFlagProjectOption));
    EXPECT_EQ(song.tempo, 96);
    EXPECT_EQ(song.bars, RichSong().bars);
}

TEST_F(ProjectFile, VersionWordsDecode)
{
    struct Case {
        uint32_t word;
        int major, minor;
        bool supported;
    };
    const Case cases[] = {{0x00020004, 2, 4, true}, {0x00020003, 2, 3, true}, {0x00020000, 2, 0, true},
                          {0x00020005, 2, 5, false}, {0x00030001, 1, 3, true}, {0x00000001, 1, 0, true},
                          {0x00040001, 1, 4, true}, {0x00000000, 0, 0, false}, {0x00010000, 0, 1, false}};
    for (const Case& c : cases) {
        const ProjectVersion v = DecodeProjectVersion(c.word);
        EXPECT_EQ(v.major, c.major) << std::hex << c.word;
        EXPECT_EQ(v.minor, c.minor) << std::hex << c.word;
        EXPECT_EQ(v.Supported(), c.supported) << std::hex << c.word;
    }
}

TEST_F(ProjectFile, VanishedEntryStyleTakesTheSongsStyle)
{
    Fake().knownStyles = {7, 8};
    const auto bytes = SaveRich(Path("song.cpj"));
    Fake().loadableStyles = {7};  // style 8 is gone
    Fake().segmentBars = {{{256, 7}, 2}, {{272, 7}, 4}};
    TSongModel song;
    EXPECT_EQ(OpenProject(song, Path("song.cpj"), m_window), kProjectStylesReplaced);
    EXPECT_TRUE(ProjectOpened(kProjectStylesReplaced));
    ASSERT_EQ(song.songForm.size(), 4u);
    EXPECT_EQ(song.songForm[2].styleId, 7);
    EXPECT_EQ(song.songForm[2].barCount, 2) << "a melody entry keeps its length";
    const auto messages = m_log.Take();
    EXPECT_EQ(messages.back().message, static_cast<uint32_t>(UM_PROGRESS_DONE));
}

TEST_F(ProjectFile, VanishedSegmentStyleTakesTheSongsSegmentLengths)
{
    TSongModel song = RichSong();
    song.songForm = {{257, 2, -1, 8, {}}, {0, 3, 1, 7, {}}, {273, 5, -1, 8, {}}, {258, 5, -1, 8, {}}};
    ASSERT_TRUE(SaveProject(song, Path("song.cpj"), m_window));
    Fake().loadableStyles = {7};
    Fake().segmentBars = {{{257, 7}, 3}, {{256, 7}, 2}, {{272, 7}, 4}};
    TSongModel opened;
    EXPECT_EQ(OpenProject(opened, Path("song.cpj"), m_window), kProjectStylesReplaced);
    ASSERT_EQ(opened.songForm.size(), 4u);
    EXPECT_EQ(opened.songForm[0], (tagComposeStage{257, 3, -1, 7, {}}));
    EXPECT_EQ(opened.songForm[2], (tagComposeStage{272, 4, -1, 7, {}})) << "outro 2 missing: outro 1";
    EXPECT_EQ(opened.songForm[3], (tagComposeStage{256, 2, -1, 7, {}})) << "intro 3 missing: intro 1";
}

TEST_F(ProjectFile, UnknownSongStyleIsRefusedUnlessItCanBeDownloaded)
{
    SaveRich(Path("song.cpj"));
    Fake().loadableStyles = {8};
    TSongModel song;
    EXPECT_EQ(OpenProject(song, Path("song.cpj"), m_window), kProjectStyleGone);
    EXPECT_EQ(Fake().downloads, (std::vector<int32_t>{7}));
    EXPECT_TRUE(song.bars.empty());
    EXPECT_STREQ(ProjectResultMessage(kProjectStyleGone), "打开工程文件失败！（风格文件已失效）");

    Fake().downloadResult = 0;
    EXPECT_EQ(OpenProject(song, Path("song.cpj"), m_window), kProjectOk);
    Fake().knownStyles = {8};
    EXPECT_EQ(OpenProject(song, Path("song.cpj"), m_window), kProjectStyleGone) << "no info record at all";
}

TEST_F(ProjectFile, WithoutTakesInTheEngineTheSongIsCleared)
{
    SaveRich(Path("song.cpj"));
    Fake().streamLength = {};
    TSongModel song;
    ASSERT_EQ(OpenProject(song, Path("song.cpj"), m_window), kProjectOk);
    EXPECT_TRUE(song.bars.empty());
    EXPECT_TRUE(song.songForm.empty());
    EXPECT_EQ(song.key, -1);
    EXPECT_FALSE(song.Flag(kFlagMelody));
    EXPECT_FALSE(song.Flag(kFlagFinalTake));
    EXPECT_EQ(song.tempo, 96) << "settings of the song stay";

    Fake().streamLength = {{2, 100}};
    ASSERT_EQ(OpenProject(song, Path("song.cpj"), m_window), kProjectOk);
    EXPECT_EQ(song.bars.size(), 5u);
    EXPECT_TRUE(song.barVols.empty()) << "no final take in the engine";
}

TEST_F(ProjectFile, AFailedSaveKeepsThePreviousFile)
{
    const std::string path = Path("keep.cpj");
    const auto before = SaveRich(path);
    TSongModel changed = RichSong();
    changed.tempo = 140;
    changed.TakeSavedCopy();
    changed.key = 4;
    Fake().engineBlockSize = -4;  // the engine cannot append its block
    m_log.Take();
    EXPECT_FALSE(SaveProject(changed, path, m_window));
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(changed.IsModified()) << "nothing was saved";
    const auto messages = m_log.Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, static_cast<uint32_t>(UM_PROGRESS_FAILED));
    EXPECT_EQ(static_cast<uint32_t>(messages[0].wParam), static_cast<uint32_t>(kProjectCannotOpen));
    for (const auto& entry : fs::directory_iterator(m_dir))
        EXPECT_EQ(entry.path().filename().string().find(".saving"), std::string::npos) << "no leftovers";

    EXPECT_FALSE(SaveProject(changed, Path("no/such/folder/x.cpj"), m_window));
}

TEST_F(ProjectFile, AutoSaveRecordsItselfButLeavesTheSongModified)
{
    const std::string settingsPath = (m_dir / "settings.ini").string();
    TSettingsStore settings(settingsPath);
    TSongModel song = RichSong();
    song.projectPath = "/home/u/mine.cpj";
    ASSERT_TRUE(SaveProject(song, Path("~last.sav"), nullptr, &settings));
    EXPECT_TRUE(song.Flag(kFlagAutoSaved));
    EXPECT_TRUE(song.IsModified()) << "the user's own project was not saved";
    EXPECT_EQ(song.projectPath, "/home/u/mine.cpj");
    TSongModel other;
    settings.ReadAutoSaveProject(other);
    EXPECT_EQ(other.projectPath, "/home/u/mine.cpj");
    EXPECT_TRUE(m_log.Take().empty()) << "an auto-save reports to no window";

    TSongModel restored;
    EXPECT_EQ(OpenProject(restored, Path("~last.sav"), nullptr), kProjectOk);
    EXPECT_EQ(restored.bars, song.bars);
    EXPECT_TRUE(restored.projectPath.empty());
}

TEST_F(ProjectFile, SavesAndOpensWaitForEachOther)
{
    ProjectEvent().Wait();  // as if another save were running
    std::atomic<bool> done{false};
    TSongModel song = RichSong();
    std::thread saver([&] {
        SaveProject(song, Path("wait.cpj"), nullptr);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    EXPECT_FALSE(fs::exists(Path("wait.cpj")));
    ProjectEvent().Set();
    saver.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(ProjectEvent().Wait(std::chrono::milliseconds(0))) << "left signalled";
    ProjectEvent().Set();
}

// A version-1 file: header, two engine block sizes, the blocks, the
// program's fields in the 2.x order, then the final take.
TEST_F(ProjectFile, VersionOneFilesLetTheEngineReadItsBlocksFirst)
{
    const auto current = SaveRich(Path("new.cpj"));
    const size_t programEnd = current.size() - Fake().engineBlockSize;
    std::vector<uint8_t> fields(current.begin() + 8, current.begin() + programEnd);
    fields.erase(fields.begin() + 8);  // minor 0: no option byte
    std::vector<uint8_t> file(16, 0);
    PutU32(file, 0, 0x00000001);        // 1.0
    PutU32(file, 8, 10);                // voice take: 10 bytes
    PutU32(file, 12, 0);
    file.insert(file.end(), 10 + 4 + 4, 0xAA);  // take, gap, (empty analysis) gap
    file.insert(file.end(), fields.begin(), fields.end());
    file.insert(file.end(), 20, 0xBB);  // final take
    PutU32(file, 4, static_cast<uint32_t>(file.size()));
    WriteFile(Path("old.cpj"), file);
    Fake().streamLength = {};
    TSongModel song;
    ASSERT_EQ(OpenProject(song, Path("old.cpj"), m_window), kProjectOk);
    EXPECT_EQ(song.bars.size(), 5u);
    EXPECT_EQ(song.tempo, 96);
    // 5 bars of 3 beats at 96: 9375 ms, plus 100.
    EXPECT_EQ(Fake().streamLength[2], 9475);
    EXPECT_FALSE(song.Flag(kFlagFinalTake));

    PutU32(file, 8, 100000);            // a take longer than the file
    WriteFile(Path("bad.cpj"), file);
    TSongModel other;
    EXPECT_EQ(OpenProject(other, Path("bad.cpj"), m_window), kProjectDamaged);
}

} // namespace
} // namespace melodrift
