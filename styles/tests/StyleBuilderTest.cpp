// From parsed source to info record and style data.
#include <gtest/gtest.h>

#include "KrvTestReader.h"
#include "StyleBuilder.h"
#include "StyleSourceParser.h"

namespace stylec {
namespace {

const char* kSource = R"(style 321
revision 4
name "Builder"
author "Tests"
description "For the builder"
metre 6/8
tempo 75
categories 5
main 2 bars 1
  group major
    track channel 1 program 0
      1:1 note C4 80 1/4
  group min7
    track channel 1 program 0
      1:1 note Bb3 80 1/4
  drums
    track channel 10 program 0
      1:1 note kick 100 1/16
main 0 bars 2
  group major
    track channel 1 program 0
      *:1 note C4 80 1/4
    track channel 2 program 0
      *:1 note G3 80 1/4
    track channel 1 program 0
      *:2 note E4 80 1/4
intro 3 bars 2
  group major
    track channel 4 program 26
      1:1 note E3 70 1/4
  group minor
    track channel 4 program 26
      1:1 note Eb3 70 1/4
outro 0 bars 1
  group major
    track channel 1
      1:1 note C4 70 1/4
  group minor
    track channel 1
      1:1 note C4 70 1/4
)";

StyleSource parsed(const std::string& text)
{
    auto r = parseStyleSource(text);
    EXPECT_TRUE(r.style) << (r.errors.empty() ? "" : r.errors[0].message + " line " + std::to_string(r.errors[0].line));
    return r.style.value_or(StyleSource{});
}

TEST(StyleBuilder, OrdersEventsOfOneTick)
{
    SourceTrack t;
    t.channel = 2;
    t.program = 30;
    t.notes = {{1, 60, 90, 0, 192}, {2, 60, 80, 192, 384}};
    t.controls = {{3, 192, 0xB0, 7, 100}, {4, 0, 0xE0, 0, 64}};
    const auto ev = trackEvents(t);
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> got;
    for (const auto& e : ev)
        got.emplace_back(e.tick, e.bytes);
    const std::vector<std::pair<uint32_t, std::vector<uint8_t>>> want = {
        {0, {0xC2, 30}},          {0, {0xE2, 0, 64}},        {0, {0x92, 60, 90}},
        {192, {0x82, 60, 0x40}}, {192, {0xB2, 7, 100}},     {192, {0x92, 60, 80}},
        {384, {0x82, 60, 0x40}}};
    EXPECT_EQ(got, want);
}

TEST(StyleBuilder, FillsTheInfoRecord)
{
    const auto style = compileStyle(parsed(kSource));
    const tagStyleInfo& info = style.info;
    EXPECT_EQ(info.id, 321);
    EXPECT_EQ(info.revision, 4);
    EXPECT_EQ(info.dataSize, static_cast<int32_t>(style.data.size()));
    EXPECT_EQ(info.state, SF_STATE_INSTALLED);
    EXPECT_EQ(info.restSize, 1780);
    EXPECT_EQ(info.metre, 3);
    EXPECT_EQ(info.tempo, 75);
    EXPECT_EQ(info.flags, 0);
    EXPECT_EQ(std::vector<int>(info.categories, info.categories + 4), (std::vector<int>{5, -1, -1, -1}));
    EXPECT_EQ(std::vector<int>(info.segmentCount, info.segmentCount + 4), (std::vector<int>{2, 0, 1, 1}));
    EXPECT_STREQ(info.name, "Builder");
    EXPECT_STREQ(info.author, "Tests");
    EXPECT_STREQ(info.description, "For the builder");
    EXPECT_EQ(info.introBars[3], 2);
    EXPECT_EQ(info.introBars[0], 0);
    EXPECT_EQ(info.outroBars[0], 1);
    EXPECT_EQ(info.reserved[0], -1);
    EXPECT_EQ(info.reserved[1], -1);
    // Main segments in id order: main 0 first, with channel 1 counted twice.
    const auto& main0 = info.voices[0];
    EXPECT_EQ((std::vector<int>{main0[0][0], main0[0][1], main0[0][2]}), (std::vector<int>{0, 0, 2}));
    EXPECT_EQ((std::vector<int>{main0[1][0], main0[1][1], main0[1][2]}), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(main0[2][0], 0xFF);
    const auto& main2 = info.voices[1];
    EXPECT_EQ((std::vector<int>{main2[1][0], main2[1][1], main2[1][2]}), (std::vector<int>{9, 0, 1}));
    // Intro 3 is the first intro: entries 16 (major) and 17 (minor).
    EXPECT_EQ(info.voices[16][0][1], 26);
    EXPECT_EQ(info.voices[17][0][1], 26);
    EXPECT_EQ(info.voices[18][0][0], 0xFF);
    // Outro without program.
    EXPECT_EQ(info.voices[24][0][1], 0xFF);
}

TEST(StyleBuilder, WritesDataTheLayoutReaderAccepts)
{
    const auto style = compileStyle(parsed(kSource));
    EXPECT_EQ(krvtest::inflateAll(style.data), style.block);
    krvtest::Reader reader(style.block);
    auto block = reader.block();
    ASSERT_TRUE(block) << reader.error();
    EXPECT_EQ(block->metre, 3);
    EXPECT_EQ(block->clocks, 36); // 6/8 default
    EXPECT_EQ(block->notated, 8);
    EXPECT_EQ(block->tempo, 800000u);
    EXPECT_EQ(block->groupCount, 4);
    ASSERT_EQ(block->kinds.size(), 4u);
    ASSERT_EQ(block->kinds[0].size(), 2u);
    EXPECT_EQ(block->kinds[0][0].id, 0);
    EXPECT_EQ(block->kinds[0][1].id, 2);
    const auto& main0 = block->kinds[0][0];
    ASSERT_EQ(main0.groups[0].size(), 3u);
    EXPECT_EQ(main0.groups[0][0].length, 1152);
    EXPECT_EQ(main0.groups[0][0].notes.size(), 2u);
    EXPECT_EQ(main0.groups[0][0].notes[1].start, 576u);
    EXPECT_EQ(main0.groups[0][2].notes[0].start, 192u);
    EXPECT_FALSE(main0.unpitched);
    const auto& main2 = block->kinds[0][1];
    EXPECT_TRUE(main2.groups[1].empty());
    EXPECT_TRUE(main2.groups[2].empty());
    ASSERT_EQ(main2.groups[3].size(), 1u);
    EXPECT_EQ(main2.groups[3][0].notes[0].pitch, 58);
    ASSERT_TRUE(main2.unpitched);
    EXPECT_EQ(main2.unpitched->channel, 9);
    EXPECT_EQ(main2.unpitched->length, 576);
    EXPECT_TRUE(block->kinds[1].empty());
    ASSERT_EQ(block->kinds[2].size(), 1u);
    EXPECT_EQ(block->kinds[2][0].id, 3);
    EXPECT_EQ(block->kinds[2][0].groups[1][0].program, 26);
    EXPECT_EQ(block->kinds[3][0].groups[0][0].program, -1);
}

TEST(StyleBuilder, MarksFeaturedStylesAndKeepsFourCategories)
{
    auto s = parsed(kSource);
    s.featured = true;
    s.categories = {1, 2, 3, 4};
    const auto info = buildInfo(s, 10);
    EXPECT_EQ(info.flags, SF_FLAG_FEATURED);
    EXPECT_EQ(info.categories[3], 4);
    EXPECT_EQ(info.dataSize, 10);
}

} // namespace
} // namespace stylec
