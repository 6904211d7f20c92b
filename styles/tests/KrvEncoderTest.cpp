// The encoder against the layout, read back by the independent test reader.
#include <gtest/gtest.h>

#include <functional>

#include "KrvEncoder.h"
#include "KrvTestReader.h"

namespace {

using krv::TrackEvent;

std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (int v : list)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

krv::Track noteTrack(uint8_t channel, uint8_t pitch, uint32_t length, int program = -1)
{
    std::vector<TrackEvent> ev;
    if (program >= 0)
        ev.push_back({0, bytes({0xC0 | channel, program})});
    ev.push_back({0, bytes({0x90 | channel, pitch, 100})});
    ev.push_back({length / 2, bytes({0x80 | channel, pitch, 64})});
    return krv::encodeTrack(ev, length);
}

krv::Block sampleBlock()
{
    krv::Block b;
    b.metre = 1;
    b.clocksPerClick = 24;
    b.tempo = 0x07A120; // 500000
    b.kinds.resize(4);
    krv::Segment main{3, std::vector<std::vector<krv::Track>>(4), noteTrack(9, 36, 576, 0)};
    main.groups[0] = {noteTrack(0, 60, 576, 0), noteTrack(3, 52, 576, 25)};
    main.groups[1] = {noteTrack(0, 63, 576, 0)};
    krv::Segment main0{0, std::vector<std::vector<krv::Track>>(4), std::nullopt};
    main0.groups[0] = {noteTrack(0, 64, 1152)};
    b.kinds[0] = {main0, main};
    krv::Segment fill{1, std::vector<std::vector<krv::Track>>(4), std::nullopt};
    fill.groups[0] = {noteTrack(8, 36, 576, 33)};
    b.kinds[1] = {fill};
    krv::Segment intro{0, {{noteTrack(0, 60, 1152)}, {noteTrack(0, 63, 1152)}}, std::nullopt};
    b.kinds[2] = {intro};
    b.kinds[3] = {};
    return b;
}

TEST(KrvEncoder, WritesVariableLengthQuantities)
{
    const std::pair<uint32_t, std::vector<uint8_t>> cases[] = {
        {0, bytes({0x00})},
        {127, bytes({0x7F})},
        {128, bytes({0x81, 0x00})},
        {192, bytes({0x81, 0x40})},
        {16383, bytes({0xFF, 0x7F})},
        {16384, bytes({0x81, 0x80, 0x00})},
        {0x0FFFFFFF, bytes({0xFF, 0xFF, 0xFF, 0x7F})},
    };
    for (const auto& [value, expect] : cases) {
        std::vector<uint8_t> out;
        krv::putVarLen(out, value);
        EXPECT_EQ(out, expect) << value;
    }
    std::vector<uint8_t> out;
    EXPECT_THROW(krv::putVarLen(out, 1u << 28), krv::EncodeError);
}

TEST(KrvEncoder, WritesATrackAsDeltaTimedEventsEndingAtItsLength)
{
    const std::vector<TrackEvent> ev = {
        {0, bytes({0xC1, 5})}, {0, bytes({0x91, 60, 100})}, {192, bytes({0x81, 60, 64})},
        {200, bytes({0xFF, 0x01, 0x02, 'h', 'i'})}};
    const auto track = krv::encodeTrack(ev, 384);
    EXPECT_EQ(track.length, 384);
    EXPECT_EQ(track.events, bytes({0x00, 0xC1, 5, 0x00, 0x91, 60, 100, 0x81, 0x40, 0x81, 60, 64, 0x08, 0xFF, 0x01,
                                   0x02, 'h', 'i', 0x81, 0x38, 0xFF, 0x2F, 0x00}));
    // An empty track still ends, after a delta of its whole length.
    EXPECT_EQ(krv::encodeTrack({}, 768).events, bytes({0x86, 0x00, 0xFF, 0x2F, 0x00}));
}

TEST(KrvEncoder, WritesTheHeaderBigEndian)
{
    auto b = sampleBlock();
    b.tempo = 0x0A2C2B;
    b.clocksPerClick = 36;
    b.thirtySecondsPerQuarter = 8;
    const auto out = krv::encodeBlock(b);
    ASSERT_GE(out.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4), bytes({'K', 'R', 'V', 1}));
    const uint32_t body = uint32_t(out[4]) << 24 | out[5] << 16 | out[6] << 8 | out[7];
    EXPECT_EQ(body + 8, out.size());
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8, out.begin() + 16),
              bytes({1, 36, 8, 4, 4, 0x0A, 0x2C, 0x2B}));
}

TEST(KrvEncoder, ReadsBackEverySegmentGroupAndTrack)
{
    const auto block = krv::encodeBlock(sampleBlock());
    krvtest::Reader reader(block);
    auto read = reader.block();
    ASSERT_TRUE(read) << reader.error();
    EXPECT_EQ(read->metre, 1);
    EXPECT_EQ(read->tempo, 500000u);
    ASSERT_EQ(read->kinds.size(), 4u);
    ASSERT_EQ(read->kinds[0].size(), 2u);
    const auto& main = read->kinds[0][1];
    EXPECT_EQ(main.id, 3);
    ASSERT_EQ(main.groups.size(), 4u);
    ASSERT_EQ(main.groups[0].size(), 2u);
    EXPECT_EQ(main.groups[0][1].channel, 3);
    EXPECT_EQ(main.groups[0][1].program, 25);
    EXPECT_EQ(main.groups[1][0].notes.at(0).pitch, 63);
    EXPECT_TRUE(main.groups[2].empty());
    ASSERT_TRUE(main.unpitched);
    EXPECT_EQ(main.unpitched->channel, 9);
    EXPECT_EQ(main.unpitched->notes.at(0).end, 288u);
    // The first main segment has no unpitched part: its next byte is the
    // second segment's id, not a marker.
    EXPECT_FALSE(read->kinds[0][0].unpitched);
    EXPECT_EQ(read->kinds[0][0].groups[0][0].length, 1152);
    EXPECT_FALSE(read->kinds[1][0].unpitched);
    ASSERT_EQ(read->kinds[2].size(), 1u);
    EXPECT_EQ(read->kinds[2][0].groups.size(), 2u);
    EXPECT_EQ(read->kinds[2][0].groups[1][0].notes.at(0).pitch, 63);
    EXPECT_TRUE(read->kinds[3].empty());

    const auto stream = krv::compress(block);
    EXPECT_EQ(stream[0], 0x78); // a zlib header, not raw deflate
    EXPECT_EQ(krvtest::inflateAll(stream), block);
}

TEST(KrvEncoder, RefusesWhatTheLayoutCannotCarry)
{
    struct Case {
        const char* what;
        std::function<void(krv::Block&)> spoil;
    };
    const Case cases[] = {
        {"metre 4", [](krv::Block& b) { b.metre = 4; }},
        {"five kinds", [](krv::Block& b) { b.kinds.resize(5); }},
        {"five groups", [](krv::Block& b) { b.groupCount = 5; }},
        {"tempo 0", [](krv::Block& b) { b.tempo = 0; }},
        {"tempo over 24 bits", [](krv::Block& b) { b.tempo = 0x1000000; }},
        {"segment id 255", [](krv::Block& b) { b.kinds[0][0].id = 255; }},
        {"255 segments", [](krv::Block& b) { b.kinds[3].resize(255, b.kinds[2][0]); }},
        {"three groups in a main segment", [](krv::Block& b) { b.kinds[0][0].groups.resize(3); }},
        {"four groups in an intro", [](krv::Block& b) { b.kinds[2][0].groups.resize(4); }},
        {"unpitched intro", [](krv::Block& b) { b.kinds[2][0].unpitched = noteTrack(9, 36, 96); }},
        {"256 tracks in a group", [](krv::Block& b) { b.kinds[0][0].groups[1].resize(256, noteTrack(0, 1, 9)); }},
        {"over a million bytes",
         [](krv::Block& b) { b.kinds[0][0].groups[2] = {krv::Track{10, std::vector<uint8_t>(1000000, 0)}}; }},
    };
    ASSERT_NO_THROW(krv::encodeBlock(sampleBlock()));
    for (const auto& c : cases) {
        auto b = sampleBlock();
        c.spoil(b);
        EXPECT_THROW(krv::encodeBlock(b), krv::EncodeError) << c.what;
    }
}

TEST(KrvEncoder, RefusesEventsATrackCannotHold)
{
    const std::pair<const char*, std::vector<TrackEvent>> cases[] = {
        {"out of order", {{10, bytes({0x90, 60, 1})}, {5, bytes({0x80, 60, 0})}}},
        {"after the end", {{400, bytes({0x90, 60, 1})}}},
        {"no status", {{0, bytes({0x40, 60, 1})}}},
        {"data byte with top bit", {{0, bytes({0x90, 0x80, 1})}}},
        {"program change with two data bytes", {{0, bytes({0xC0, 1, 2})}}},
        {"note-on cut short", {{0, bytes({0x90, 60})}}},
        {"meta length lies", {{0, bytes({0xFF, 0x01, 0x05, 'a'})}}},
        {"explicit end of track", {{0, bytes({0xFF, 0x2F, 0x00})}}},
        {"system common", {{0, bytes({0xF2, 0, 0})}}},
        {"empty event", {{0, {}}}},
    };
    for (const auto& [what, events] : cases)
        EXPECT_THROW(krv::encodeTrack(events, 384), krv::EncodeError) << what;
    EXPECT_THROW(krv::encodeTrack({}, 65536), krv::EncodeError);
    EXPECT_NO_THROW(krv::encodeTrack({}, 65535));
}

} // namespace
