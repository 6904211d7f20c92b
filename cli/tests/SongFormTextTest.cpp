#include <gtest/gtest.h>

#include "CliError.h"
#include "SongFormText.h"
#include "SongModel.h"
#include "Vocabulary.h"

namespace melodrift::cli {
namespace {

TEST(SongFormText, TokensBecomeSongFormReferences)
{
    EXPECT_EQ(ParseSongForm("i1 A B i2 A  B\to1"),
              (std::vector<FormToken>{{kIntroRef}, {0}, {1}, {kIntroRef + 1}, {0}, {1}, {kOutroRef}}));
    EXPECT_EQ(ParseSongForm("Z i4 o4"), (std::vector<FormToken>{{25}, {kIntroRef + 3}, {kOutroRef + 3}}));
    for (const char* bad : {"", "   ", "a", "i0", "i5", "o9", "AB", "x1", "A, B"})
        EXPECT_THROW(ParseSongForm(bad), CliError) << "'" << bad << "'";
}

// Ten bars in two sections; bar 3 carries fill variant 1, the last bar of
// section B carries its own fill.
TSongModel TwoSectionSong()
{
    TSongModel song;
    song.styleId = 7;
    for (int i = 0; i < 10; ++i)
        song.AddBar();
    song.bars[3].fill = 1;
    song.bars[9].fill = 1;
    song.stages = {{0, 5, 0}, {6, 9, 2}};
    song.introBars = {2, 4, 0, 0};
    song.outroBars = {3, 0, 0, 0};
    return song;
}

TEST(SongFormText, TypedFormBuildsEntriesWithLengthsPatternsAndFills)
{
    TSongModel song = TwoSectionSong();
    ApplySongForm(song, ParseSongForm("i2 A B A o1"));
    ASSERT_EQ(song.songForm.size(), 5u);
    EXPECT_EQ(song.songForm[0].ref, kIntroRef + 1);
    EXPECT_EQ(song.songForm[0].barCount, 4);
    EXPECT_EQ(song.songForm[1].barCount, 6);
    EXPECT_EQ(song.songForm[1].fills, (std::vector<int32_t>{MakeFill(3, 1), MakeFill(5, 0)}))
        << "the section's own fill, then a closing fill on its last bar";
    EXPECT_EQ(song.songForm[2].pattern, 2);
    EXPECT_EQ(song.songForm[2].fills, (std::vector<int32_t>{MakeFill(3, 1)})) << "its last bar already has a fill";
    EXPECT_EQ(song.songForm[4].barCount, 3);
    for (const tagComposeStage& entry : song.songForm)
        EXPECT_EQ(entry.styleId, 7);
    EXPECT_EQ(FormatSongForm(song), "i2 A B A o1");
}

TEST(SongFormText, EntriesTheTakeOrStyleLacksAreRefusedAndTheFormKept)
{
    const char* const bad[] = {"i1 C", "i3 A", "o2 A", "i1 o1"};
    for (const char* text : bad) {
        TSongModel song = TwoSectionSong();
        song.songForm.push_back({0, 6, 0, 7, {}});
        EXPECT_THROW(ApplySongForm(song, ParseSongForm(text)), CliError) << text;
        EXPECT_EQ(song.songForm.size(), 1u) << text;
    }
    TSongModel empty;
    EXPECT_THROW(ApplySongForm(empty, ParseSongForm("A")), CliError);
}

} // namespace
} // namespace melodrift::cli
