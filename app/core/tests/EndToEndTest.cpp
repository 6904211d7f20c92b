// The real libraries from a sung take to a saved and reopened project: the
// take is synthesised and recorded through the audio engine's file device.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "FakeEngine.h"
#include "Patbank.h"
#include "PlaybackClock.h"
#include "Pipeline.h"
#include "ProjectFile.h"
#include "SongModel.h"
#include "SungTake.h"
#include "WavFile.h"
#include "TempFolder.h"

namespace melodrift {
namespace {

namespace fs = std::filesystem;

using testsupport::SungNote;

std::optional<test::PostedMessage> WaitFor(test::MessageLog& log, uint32_t message, std::chrono::seconds limit)
{
    return log.WaitUntil([message](const test::PostedMessage& m) { return m.message == message; }, limit);
}

int32_t FirstStyleOfMetre(int metre)
{
    const auto& sm = Engines().sm;
    int32_t count = 0;
    if (sm.SM_GetStyleInfos(metre, nullptr, &count) == -1 || count <= 0)
        return -1;
    std::vector<tagStyleInfo> infos(static_cast<size_t>(count));
    if (sm.SM_GetStyleInfos(metre, infos.data(), &count) == -1)
        return -1;
    for (int i = 0; i < count && i < static_cast<int>(infos.size()); ++i)
        if (infos[i].state == SF_STATE_INSTALLED && sm.SM_CheckStyle(infos[i].id))
            return infos[i].id;
    return -1;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("MELODRIFT_HOME", (m_dir / "home").c_str(), 1);
        ::setenv("MELODRIFT_SERVICE", "127.0.0.1:9", 1);  // no service needed
        ASSERT_EQ(BindEngineLibraries(), 0);
        m_bound = true;
        ASSERT_EQ(Engines().mm.MM_InitialObjects(&m_main, EngineDirectory(ApplicationDirectory()).c_str()), 0);
    }
    void TearDown() override
    {
        // The libraries stay loaded, as for the program's whole run: once the
        // synthesiser's libraries are unloaded, the leak checker loses sight of
        // their process-wide caches and reports them.
        if (m_bound) {
            Engines().mm.MM_DestroyObjects();
            Engines().sm.SM_Release();
        }
        ::unsetenv("MELODRIFT_AUDIO");
    }

    testsupport::TempFolder m_folder{"appcore_e2e"};
    fs::path m_dir = m_folder.Path();
    bool m_bound = false;
    test::MessageLog m_log;
    int m_main = 0, m_screen = 0, m_dialog = 0;
};

TEST(Binding, LoadsEveryLibraryByNameAndFreesThemAgain)
{
    ASSERT_EQ(BindEngineLibraries(), 0);
    const EngineTables& e = Engines();
    EXPECT_NE(e.mm.MM_SetFxPreset, nullptr);
    EXPECT_NE(e.sm.SM_Compose, nullptr);
    EXPECT_NE(e.cs.CS_GetStyleNums, nullptr);
    EXPECT_NE(e.qr.QR_Encode, nullptr);
    for (int slot = kSlotSonobox; slot <= kSlotGlyphmint; ++slot)
        EXPECT_NE(e.libraries[slot], nullptr) << slot;
    e.sm.SM_Release();
    UnbindEngineLibraries();
    for (int slot = kSlotSonobox; slot <= kSlotGlyphmint; ++slot)
        EXPECT_EQ(e.libraries[slot], nullptr) << slot;
    EXPECT_EQ(e.mm.MM_SetFxPreset, nullptr);
    EXPECT_EQ(e.sm.SM_Compose, nullptr);
    EXPECT_EQ(e.qr.QR_Encode, nullptr);
    EXPECT_EQ(BindEngineLibraries(), 0) << "binding again after a full unbind";
    Engines().sm.SM_Release();
    UnbindEngineLibraries();
}

TEST_F(EndToEnd, SungTakeBecomesASongThatSurvivesSaveAndOpen)
{
    EXPECT_NE(Engines().qr.QR_Encode, nullptr) << "Glyphmint is built beside the others";
    TSongModel song;
    SetMetre(song, 0, true);
    SetTempo(song, 100, true);
    const std::vector<SungNote> melody = {{60, 1}, {62, 1}, {64, 1}, {65, 1}, {67, 2}, {65, 1}, {64, 1},
                                      {62, 1}, {64, 1}, {62, 1}, {60, 1}, {64, 1}, {67, 1}, {72, 2}};
    const std::string take = (m_dir / "take.wav").string();
    testsupport::WriteWav(take, testsupport::ToPcm16(testsupport::Sing(melody, 100, 8)));  // count-in bar and one bar of waiting
    ::setenv("MELODRIFT_AUDIO", ("file:" + take).c_str(), 1);
    ASSERT_EQ(Engines().mm.MM_Record(&m_screen, 0, -1, -1, 0), 0);
    const auto recognised = WaitFor(m_log, UM_TAKE_RECOGNISED, std::chrono::seconds(120));
    ASSERT_TRUE(recognised);
    const int bars = static_cast<int>((recognised->lParam >> 16) & 0xFFFF);
    ASSERT_GE(bars, 3);

    int32_t key = -1;
    Engines().mm.MM_GetMelodyInfo(&key, 0, 0);
    EXPECT_EQ(key, 0) << "a C major tune";
    song.key = key;
    for (int i = 0; i < bars; ++i)
        song.AddBar();
    SubmitMelody(song);
    song.SetFlag(kFlagMelody, true);
    EXPECT_GE(song.melodyBarCount, 3);

    song.styleId = FirstStyleOfMetre(0);
    ASSERT_GT(song.styleId, 0) << "a shipped 4/4 style";
    ASSERT_TRUE(BaseCompose(song));
    ASSERT_FALSE(song.stages.empty());
    EXPECT_GE(song.bars[0].chords[0], 0) << "the composer's chords are written back";
    EXPECT_TRUE(RefreshSegmentBars(song));
    BuildDefaultSongForm(song);
    ASSERT_FALSE(song.songForm.empty());
    ASSERT_TRUE(Compose(song, song.key, true));
    EXPECT_TRUE(song.Flag(kFlagComposed));
    EXPECT_TRUE(song.Flag(kFlagVoiceCombined));

    const std::string path = (m_dir / "song.cpj").string();
    ASSERT_TRUE(SaveProject(song, path, &m_dialog));
    TSongModel fresh;
    ASSERT_EQ(OpenProject(fresh, path, &m_dialog), kProjectOk);
    EXPECT_EQ(fresh.styleId, song.styleId);
    EXPECT_EQ(fresh.key, song.key);
    EXPECT_EQ(fresh.tempo, 100);
    EXPECT_EQ(fresh.metre, 0);
    EXPECT_EQ(fresh.bars, song.bars);
    EXPECT_EQ(fresh.stages, song.stages);
    EXPECT_EQ(fresh.songForm, song.songForm);
    EXPECT_EQ(fresh.effectStates, song.effectStates);
    EXPECT_TRUE(fresh.Flag(kFlagMelody)) << "the engine brought the take back";
    EXPECT_FALSE(fresh.IsModified());
    EXPECT_TRUE(Compose(fresh, fresh.key, true)) << "the reopened song composes again";
}

} // namespace
} // namespace melodrift
