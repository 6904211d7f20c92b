// Loads libArrangix.so by name, as the program does, with the real melody
// analyser and style store beside it and the compiled test styles in
// <bin>/styles, and checks every composed file with an independent reader.
#include "Arrangix.h"
#include "MelodriftPlatform.h"
#include "Patbank.h"
#include "ArrangixLibrary.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

using namespace krvtest;

namespace {

using Api = melodrift::testsupport::ArrangixLibrary;

class ArrangixLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        home_ = std::filesystem::temp_directory_path() / ("arrangix-home-" + std::to_string(getpid()));
        std::filesystem::create_directories(home_);
        setenv("MELODRIFT_HOME", home_.c_str(), 1);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(home_); }

    void SetUp() override
    {
        std::filesystem::path styles = std::filesystem::path(MDP_LibraryDir()) / "styles";
        if (!std::filesystem::exists(styles / "pop-ballad.mds") || !std::filesystem::exists(styles / "country-waltz.mds")) {
            FAIL() << "compiled test styles not in " << styles << ": the styles target builds them";
        }
        ASSERT_TRUE(api.Load()) << "libArrangix.so beside the platform library:" << api.error;
        ASSERT_EQ(api.initialize(), 0);
    }
    void TearDown() override
    {
        if (api.release) {
            EXPECT_EQ(api.release(), 0);
        }
    }

    // A melody of eight bars in the metre: a scale walk in C.
    std::vector<uint8_t> pitches;
    std::vector<uint16_t> lengths;
    void melody(int beatsPerBar, int bars)
    {
        const uint8_t scale[8] = {60, 62, 64, 65, 67, 69, 71, 72};
        for (int i = 0; i < beatsPerBar * bars; ++i) {
            pitches.push_back(scale[(i / 2) % 8]);
            lengths.push_back(192);
        }
    }

    Api api;
    static std::filesystem::path home_;
};

std::filesystem::path ArrangixLibrary::home_;

struct TestStyle {
    int32_t id;
    int32_t metre;
    int beats;
};
const TestStyle kStyles[] = {{1001, 0, 4}, {1002, 1, 3}};

}  // namespace

TEST_F(ArrangixLibrary, CatalogueOfTheShippedStyles)
{
    int32_t count = 0;
    ASSERT_EQ(api.styleInfos(SF_ALL_METRES, nullptr, &count), 0);
    EXPECT_GE(count, 2);
    std::vector<tagStyleInfo> infos(static_cast<size_t>(count));
    ASSERT_EQ(api.styleInfos(SF_ALL_METRES, infos.data(), &count), 0);
    for (const TestStyle& s : kStyles) {
        std::vector<uint8_t> record(SM_STYLE_INFO_SIZE);
        ASSERT_EQ(api.styleInfo(s.id, record.data()), 0);
        int32_t id;
        std::memcpy(&id, record.data(), 4);
        EXPECT_EQ(id, s.id);
        // Before decoding the counts come from the info record, after it from the data: both agree.
        int32_t mainsBefore = api.segmentNum(0, s.id);
        int32_t introBarsBefore = api.segmentBars(256, s.id);
        EXPECT_EQ(api.checkStyle(s.id), 1);
        EXPECT_EQ(api.segmentNum(0, s.id), mainsBefore);
        EXPECT_EQ(api.segmentBars(256, s.id), introBarsBefore);
        EXPECT_GT(mainsBefore, 0);
        EXPECT_EQ(api.segmentNum(-1, s.id), -1);
        EXPECT_EQ(api.segmentBars(255, s.id), -1);
    }
    EXPECT_EQ(api.checkStyle(987654), 0);
    EXPECT_EQ(api.styleInfo(987654, std::vector<uint8_t>(SM_STYLE_INFO_SIZE).data()), -1);
}

TEST_F(ArrangixLibrary, ComposesAMelodyWithEachTestStyle)
{
    for (const TestStyle& s : kStyles) {
        pitches.clear();
        lengths.clear();
        melody(s.beats, 8);
        int32_t bars = 0;
        ASSERT_EQ(api.inputWavNotes(pitches.data(), lengths.data(), int32_t(pitches.size()), 192, s.metre, 100, &bars),
                  0);
        EXPECT_EQ(bars, 8);
        std::vector<uint8_t> buffer(1000000);
        int32_t size = int32_t(buffer.size());
        int32_t sectionCount = 0, chordCount = 0, fillCount = 0;
        std::vector<SM_Section> sections(static_cast<size_t>(bars));
        std::vector<SM_Chord> chords(static_cast<size_t>(2 * bars));
        std::vector<SM_Fill> fills(static_cast<size_t>(bars));
        ASSERT_EQ(api.baseCompose(0, &size, buffer.data(), &sectionCount, sections.data(), &chordCount, chords.data(),
                                  &fillCount, fills.data(), s.id),
                  0)
            << s.id;
        EXPECT_GT(sectionCount, 0);
        EXPECT_GT(chordCount, 0);
        MidoView base = readWithMido(buffer.data(), size_t(size));
        ASSERT_TRUE(base.ok) << base.error;
        int notes = 0;
        for (int n : base.noteOns)
            notes += n;
        EXPECT_GT(notes, 8 * s.beats) << s.id;

        // The default song form: intro, the melody, interlude, the melody, outro.
        std::vector<SM_Stage> stages = {{256, 0}};
        for (int i = 0; i < sectionCount; ++i)
            stages.push_back({i, sections[size_t(i)].pattern});
        stages.push_back({256, 0});
        for (int i = 0; i < sectionCount; ++i)
            stages.push_back({i, sections[size_t(i)].pattern});
        stages.push_back({272, 0});
        std::vector<int32_t> ids(stages.size(), s.id);
        std::vector<uint8_t> song(2000000);
        int32_t songSize = int32_t(song.size());
        ASSERT_EQ(api.compose(0, &songSize, song.data(), sectionCount, sections.data(), chordCount, chords.data(),
                              int32_t(stages.size()), stages.data(), ids.data(), 0, nullptr),
                  0)
            << s.id;
        MidoView form = readWithMido(song.data(), size_t(songSize));
        ASSERT_TRUE(form.ok) << form.error;
        EXPECT_EQ(form.names.size(), base.names.size());
        int formNotes = 0;
        for (int n : form.noteOns)
            formNotes += n;
        EXPECT_GT(formNotes, 2 * notes) << s.id;

        std::vector<uint8_t> demo(100000);
        int32_t demoSize = int32_t(demo.size());
        ASSERT_EQ(api.demo(&demoSize, demo.data(), s.id, -1, -1, -1, -1), 0);
        EXPECT_TRUE(readWithMido(demo.data(), size_t(demoSize)).ok);
        demoSize = int32_t(demo.size());
        ASSERT_EQ(api.demoData(&demoSize, demo.data(), -1, s.id), 0);
        EXPECT_TRUE(readWithMido(demo.data(), size_t(demoSize)).ok);
    }
}

TEST_F(ArrangixLibrary, ReleaseDropsTheStoreButKeepsTheTempo)
{
    ASSERT_EQ(api.checkStyle(1001), 1);
    EXPECT_EQ(api.release(), 0);
    EXPECT_EQ(api.checkStyle(1001), 0);  // the store is unloaded
    int32_t count = 0;
    EXPECT_EQ(api.styleInfos(0, nullptr, &count), -1);
    ASSERT_EQ(api.initialize(), 0);
    EXPECT_EQ(api.checkStyle(1001), 1);
}
