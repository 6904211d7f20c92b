// Fixture of the library checks: the composer loaded by name and the
// library styles the store lists (without the compiler's test styles).
#pragma once

#include "InstrumentRange.h"
#include "ArrangixLibrary.h"
#include "SongInspector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <unistd.h>
#include <vector>

namespace stylelib {

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
    // STYLELIB_OUT names a folder that keeps the composed files for listening.
    static void SetUpTestSuite()
    {
        const char* keep = std::getenv("STYLELIB_OUT");
        keep_ = keep != nullptr && *keep != '\0';
        dir_ = keep_ ? std::filesystem::path(keep)
                     : std::filesystem::temp_directory_path() / ("stylelib-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_ / "home");
        setenv("MELODRIFT_HOME", (dir_ / "home").c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        if (!keep_)
            std::filesystem::remove_all(dir_);
    }

    void SetUp() override
    {
        ASSERT_TRUE(api.Load()) << api.error;
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
            if (t.channel != 9) {
                EXPECT_GE(t.program, 0) << "a part without its program plays on the default piano";
            }
            InstrumentRange r = instrumentRange(t.channel, t.program);
            EXPECT_GE(t.lowPitch, r.low) << r.name;
            EXPECT_LE(t.highPitch, r.high) << r.name;
            EXPECT_GE(t.lowPitch, 0);
            EXPECT_LE(t.highPitch, 127);
            if (t.notes > 16) {
                EXPECT_GE(t.highVelocity - t.lowVelocity, 6) << "velocities do not vary";
            }
            drums |= t.channel == 9;
            bass |= r.role == Role::Bass;
            chords |= r.role == Role::Chords;
        }
        EXPECT_TRUE(drums && bass && chords) << s.info.name << ": drums, bass and a chord instrument";
    }

    melodrift::testsupport::ArrangixLibrary api;
    std::vector<Style> styles;
    static inline std::filesystem::path dir_;
    static inline bool keep_ = false;
};

inline std::string readText(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int countOf(const std::vector<Style>& styles, int metre)
{
    int n = 0;
    for (const Style& s : styles)
        n += s.info.metre == metre ? 1 : 0;
    return n;
}

}  // namespace stylelib
