// The shipped style library, checked the way the program uses it: listed by
// the store, composed by the composer loaded by name and read back by an
// independent MIDI reader.
#include "StyleLibraryFixture.h"

using namespace stylelib;

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
            if (id < in.segmentCount[2]) {
                EXPECT_EQ(api.segmentBars(256 + id, in.id), in.introBars[id]);
            }
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

TEST_F(StyleLibrary, MainPatternsGrowFromSparseToFull)
{
    std::vector<uint8_t> buffer(200000);
    for (const Style& s : styles) {
        SCOPED_TRACE(s.info.name);
        std::vector<SongFacts> mains;
        for (int j = 0; j < s.info.segmentCount[0]; ++j) {
            int32_t size = int32_t(buffer.size());
            ASSERT_EQ(api.demoData(&size, buffer.data(), j, s.info.id), 0);
            std::string mid = path(s, ("main" + std::to_string(j) + ".mid").c_str());
            ASSERT_TRUE(writeFile(mid, buffer.data(), size_t(size)));
            mains.push_back(inspectMidi(mid, {}, s.bar()));
            ASSERT_TRUE(mains.back().ok) << mains.back().error;
        }
        auto notes = [](const SongFacts& f) {
            int n = 0;
            for (const TrackFacts& t : f.tracks)
                n += t.notes;
            return n;
        };
        for (size_t j = 0; j < mains.size(); ++j) {
            SCOPED_TRACE("main pattern " + std::to_string(j + 1));
            bool drums = false, colour = false;
            for (const TrackFacts& t : mains[j].tracks) {
                drums |= t.channel == 9;
                colour |= instrumentRange(t.channel, t.program).role == Role::Colour;
            }
            EXPECT_TRUE(drums);
            if (j >= 2) {
                EXPECT_TRUE(colour) << "the fuller patterns carry strings, a pad, brass or a lead";
            }
            if (j > 0) {
                EXPECT_GE(mains[j].tracks.size(), mains[j - 1].tracks.size()) << "parts only join";
            }
        }
        EXPECT_GT(mains.back().tracks.size(), mains.front().tracks.size());
        EXPECT_GT(notes(mains.back()), notes(mains.front()) * 5 / 4) << "the fullest pattern is busier";
    }
}

TEST_F(StyleLibrary, CommittedSourcesMatchTheirGenerator)
{
    const char* src = std::getenv("MELODRIFT_SOURCE_DIR");
    const std::filesystem::path root = src != nullptr ? src : STYLELIB_SOURCE_ROOT;
    const std::filesystem::path out = path(styles.front(), "generated");
    std::filesystem::create_directories(out);
    std::string cmd = "/usr/bin/python3 " + (root / "styles/tools/stylegen.py").string() + " " + out.string() +
                      " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        const std::filesystem::path committed = root / "styles/sources" / entry.path().filename();
        SCOPED_TRACE(committed.string());
        ASSERT_TRUE(std::filesystem::exists(committed)) << "generated but not committed";
        EXPECT_EQ(readText(entry.path()), readText(committed)) << "run styles/tools/stylegen.py again";
        ++compared;
    }
    EXPECT_EQ(size_t(compared), styles.size()) << "every library style comes from the generator";
}
