// The shipped style library, checked the way the program uses it: listed by
// the store, composed by the composer loaded by name, read back by an
// independent MIDI reader and played through FluidSynth.
#include "InstrumentRange.h"
#include "LibraryApi.h"
#include "SongInspector.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

using namespace stylelib;

namespace {

// The compiler's own small test styles live in the same folder.
const std::set<int32_t> kCompilerTestStyles = {1001, 1002};
const int kBeats[4] = {4, 3, 2, 3};
const int kBarTicks[4] = {768, 576, 384, 576};

struct Style {
    tagStyleInfo info;
    int bar() const { return kBarTicks[info.metre]; }
};

class StyleLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = std::filesystem::temp_directory_path() / ("stylelib-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_ / "home");
        setenv("MELODRIFT_HOME", (dir_ / "home").c_str(), 1);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

    void SetUp() override
    {
        ASSERT_TRUE(api.load()) << api.error;
        ASSERT_EQ(api.initialize(), 0);
        int32_t count = 0;
        ASSERT_EQ(api.styleInfos(SF_ALL_METRES, nullptr, &count), 0);
        std::vector<tagStyleInfo> all(static_cast<size_t>(count));
        ASSERT_EQ(api.styleInfos(SF_ALL_METRES, all.data(), &count), 0);
        for (int i = 0; i < count; ++i)
            if (kCompilerTestStyles.count(all[size_t(i)].id) == 0)
                styles.push_back({all[size_t(i)]});
        ASSERT_FALSE(styles.empty()) << "no library styles in " << MDP_LibraryDir() << "/styles";
    }
    void TearDown() override
    {
        if (api.release != nullptr)
            api.release();
    }

    std::string path(const Style& s, const char* what) const
    {
        return (dir_ / (std::to_string(s.info.id) + "-" + what)).string();
    }

    // Checks every track of a composed file: it sounds, stays on one
    // channel, keeps to its instrument's register and is not mechanical.
    void expectPlayableTracks(const SongFacts& song, const Style& s)
    {
        ASSERT_TRUE(song.ok) << song.error;
        EXPECT_EQ(song.type, 1);
        EXPECT_EQ(song.division, 192);
        bool drums = false, bass = false, chords = false;
        for (const TrackFacts& t : song.tracks) {
            SCOPED_TRACE("channel " + std::to_string(t.channel) + " program " + std::to_string(t.program));
            EXPECT_GT(t.notes, 0) << "a track without notes";
            EXPECT_EQ(t.channelCount, 1);
            InstrumentRange r = instrumentRange(t.channel, t.program);
            EXPECT_GE(t.lowPitch, r.low) << r.name;
            EXPECT_LE(t.highPitch, r.high) << r.name;
            EXPECT_GE(t.lowPitch, 0);
            EXPECT_LE(t.highPitch, 127);
            if (t.notes > 8)
                EXPECT_GE(t.highVelocity - t.lowVelocity, 8) << "velocities do not vary";
            drums |= t.channel == 9;
            bass |= r.role == Role::Bass;
            chords |= r.role == Role::Chords;
        }
        EXPECT_TRUE(drums && bass && chords) << s.info.name << ": drums, bass and a chord instrument";
    }

    LibraryApi api;
    std::vector<Style> styles;
    static std::filesystem::path dir_;
};

std::filesystem::path StyleLibrary::dir_;

int countOf(const std::vector<Style>& styles, int metre)
{
    int n = 0;
    for (const Style& s : styles)
        n += s.info.metre == metre ? 1 : 0;
    return n;
}

}  // namespace

TEST_F(StyleLibrary, CoversEveryMetreWithCompleteInfoRecords)
{
    const int wanted[4] = {10, 2, 1, 2};
    for (int metre = 0; metre < 4; ++metre)
        EXPECT_GE(countOf(styles, metre), wanted[metre]) << "metre " << metre;
    std::set<std::string> names;
    std::set<int32_t> ids;
    for (const Style& s : styles) {
        const tagStyleInfo& in = s.info;
        SCOPED_TRACE(in.name);
        EXPECT_TRUE(ids.insert(in.id).second);
        EXPECT_TRUE(names.insert(in.name).second) << "names are file names in projects: unique";
        EXPECT_EQ(in.state, SF_STATE_INSTALLED);
        EXPECT_GT(std::strlen(in.author), 0u);
        EXPECT_GT(std::strlen(in.description), 10u);
        EXPECT_GE(in.tempo, 40);
        EXPECT_LE(in.tempo, 220);
        EXPECT_GE(in.categories[0], 0);
        EXPECT_LE(in.categories[0], 9) << "the primary category picks one of the ten boxes";
        for (int8_t c : in.categories)
            EXPECT_TRUE(c == -1 || (c >= 0 && c <= 11)) << int(c);
        EXPECT_EQ(in.segmentCount[0], 4) << "four main patterns";
        EXPECT_EQ(in.segmentCount[1], 2) << "two fills";
        EXPECT_GE(in.segmentCount[2], 2);
        EXPECT_GE(in.segmentCount[3], 2);
        for (int id = 0; id < 8; ++id) {
            EXPECT_EQ(in.introBars[id] > 0, id < in.segmentCount[2]) << "intro " << id;
            EXPECT_EQ(in.outroBars[id] > 0, id < in.segmentCount[3]) << "outro " << id;
            if (id < in.segmentCount[2])
                EXPECT_EQ(api.segmentBars(256 + id, in.id), in.introBars[id]);
        }
    }
}

TEST_F(StyleLibrary, StoreListsThemByMetreCategoryAndRecommendation)
{
    for (int metre = 0; metre < 4; ++metre) {
        SCOPED_TRACE("metre " + std::to_string(metre));
        int32_t count = 0;
        ASSERT_EQ(api.recomInfos(metre, nullptr, &count), 0);
        ASSERT_GT(count, 0);
        std::vector<tagStyleInfo> recom(static_cast<size_t>(count));
        ASSERT_EQ(api.recomInfos(metre, recom.data(), &count), 0);
        bool libraryStyle = false;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(recom[size_t(i)].metre, metre);
            libraryStyle |= kCompilerTestStyles.count(recom[size_t(i)].id) == 0 &&
                            (recom[size_t(i)].flags & SF_FLAG_FEATURED) != 0;
        }
        EXPECT_TRUE(libraryStyle) << "a featured library style is recommended first";
        for (const Style& s : styles) {
            if (s.info.metre != metre)
                continue;
            // Each style shows under the box of its primary category.
            int box = s.info.categories[0];
            int32_t n = 0;
            ASSERT_EQ(api.styleInfos(SF_SELECT(metre, 1u << box), nullptr, &n), 0);
            std::vector<tagStyleInfo> listed(static_cast<size_t>(n));
            ASSERT_EQ(api.styleInfos(SF_SELECT(metre, 1u << box), listed.data(), &n), 0);
            bool found = false;
            for (const tagStyleInfo& l : listed)
                found |= l.id == s.info.id;
            EXPECT_TRUE(found) << s.info.name << " under box " << box;
        }
    }
}

TEST_F(StyleLibrary, DemonstrationsPlayEveryPattern)
{
    std::vector<uint8_t> buffer(1000000);
    for (const Style& s : styles) {
        SCOPED_TRACE(s.info.name);
        int32_t size = int32_t(buffer.size());
        ASSERT_EQ(api.demo(&size, buffer.data(), s.info.id, -1, 0, 0, 0), 0);
        std::string mid = path(s, "demo.mid");
        ASSERT_TRUE(writeFile(mid, buffer.data(), size_t(size)));
        SongFacts song = inspectMidi(mid, {}, s.bar());
        expectPlayableTracks(song, s);
        // Three bars of each main pattern and a bar of fill.
        EXPECT_EQ(song.lengthTicks, int64_t(s.info.segmentCount[0]) * 4 * s.bar());
        EXPECT_GE(song.tracks.size(), 4u) << "drums, bass, chords and a colour part in the full patterns";
    }
}
