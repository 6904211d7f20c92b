#include "Arrangix.h"
#include "MidiWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace melodrift::arrangix;
using namespace krvtest;

namespace {

OutputTrack track(uint8_t channel, uint8_t program, std::vector<std::pair<int32_t, OutputNote>> notes, int32_t length)
{
    OutputTrack t;
    t.channel = channel;
    t.program = program;
    t.length = length;
    for (auto [tick, n] : notes)
        t.addNote(tick, n);
    return t;
}

std::vector<OutputTrack> someTracks()
{
    std::vector<OutputTrack> ts;
    ts.push_back(track(0, 0, {{0, {60, 90}}, {0, {64, 90}}, {384, {60, 0}}, {384, {64, 0}}}, 768));
    ts.back().addControl(0, ControlRecord{0xC0, 0, 0});
    ts.back().addControl(0, ControlRecord{0xB0, 7, 100});
    ts.push_back(track(9, 0xFF, {{0, {36, 100}}, {96, {36, 0}}}, 768));
    ts.push_back(track(8, 33, {{0, {36, 100}}, {700, {36, 0}}}, 768));
    ts.push_back(track(3, 0xFF, {{10, {70, 1}}, {20, {70, 0}}}, 768));
    ts.push_back(track(4, 48, {{0, {72, 80}}, {768, {72, 0}}}, 1536));
    return ts;
}

DecodedStyle styleOf(uint8_t metre)
{
    DecodedStyle s;
    s.metre = metre;
    s.tempo = 600000;
    if (metre == 3)
        s.clocksPerClick = 0x18, s.thirtySecondsPerQuarter = 8;
    return s;
}

std::vector<uint8_t> write(const DecodedStyle& s, int32_t tempo, const std::vector<OutputTrack>& ts, int32_t cap,
                           int32_t& result, int32_t& written)
{
    std::vector<uint8_t> buf(size_t(cap) + 16, 0xEE);
    result = writeMidiFile(s, tempo, ts, buf.data(), cap, written);
    for (size_t i = size_t(cap); i < buf.size(); ++i)
        EXPECT_EQ(buf[i], 0xEE) << "byte past capacity written at " << i;
    buf.resize(size_t(std::max(written, 0)));
    return buf;
}

bool contains(const std::vector<uint8_t>& hay, std::vector<uint8_t> needle)
{
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

}  // namespace

TEST(MidiWriter, ConductorTrackCarriesTempoAndMetreTable)
{
    struct Case {
        uint8_t metre;
        int32_t composerTempo;
        std::vector<uint8_t> conductor;
    } cases[] = {
        {3, -1, {0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0, 0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00}},
        {0, 500000, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 24, 8, 0x00, 0xFF, 0x2F, 0x00}},
        {1, 0, {0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0, 0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 24, 8, 0x00, 0xFF, 0x2F, 0x00}},
        {2, 400000, {0x00, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80, 0x00, 0xFF, 0x58, 0x04, 0x02, 0x02, 24, 8, 0x00, 0xFF, 0x2F, 0x00}},
    };
    for (const Case& c : cases) {
        int32_t result, written;
        auto bytes = write(styleOf(c.metre), c.composerTempo, {}, 1000, result, written);
        ASSERT_EQ(result, 0);
        std::vector<uint8_t> expected = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0, 192, 'M', 'T', 'r', 'k', 0, 0, 0,
                                         uint8_t(c.conductor.size())};
        expected.insert(expected.end(), c.conductor.begin(), c.conductor.end());
        EXPECT_EQ(bytes, expected) << int(c.metre);
        MidoView v = readWithMido(bytes.data(), bytes.size());
        EXPECT_TRUE(v.ok) << v.error;
        EXPECT_EQ(v.names.size(), 1u);
    }
}

TEST(MidiWriter, UnknownMetreFails)
{
    int32_t result, written;
    write(styleOf(4), -1, someTracks(), 5000, result, written);
    EXPECT_EQ(result, SM_E_METRE);
}

TEST(MidiWriter, BufferSizeErrorsTable)
{
    int32_t result, full;
    auto whole = write(styleOf(0), -1, someTracks(), 100000, result, full);
    ASSERT_EQ(result, 0);
    struct Case {
        int32_t capacity;
        int32_t expected;
    } cases[] = {{-5, SM_E_BUFFER}, {0, SM_E_BUFFER}, {25, SM_E_BUFFER}, {26, SM_E_BUFFER}, {41, SM_E_BUFFER},
                 {full / 2, SM_E_BUFFER}, {full - 1, SM_E_BUFFER}, {full, 0}, {full + 1, 0}};
    for (const Case& c : cases) {
        int32_t written;
        auto bytes = write(styleOf(0), -1, someTracks(), std::max(c.capacity, 0), result, written);
        if (c.capacity < 0) {
            std::vector<uint8_t> buf(16);
            result = writeMidiFile(styleOf(0), -1, someTracks(), buf.data(), c.capacity, written);
        }
        EXPECT_EQ(result, c.expected) << c.capacity;
        EXPECT_LE(written, std::max(c.capacity, 0)) << c.capacity;
        if (c.expected == 0) {
            EXPECT_EQ(bytes, whole);
            EXPECT_TRUE(readWithMido(bytes.data(), bytes.size()).ok) << c.capacity;
        } else if (written >= 14) {  // the header is complete; chunk lengths stay unfilled
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 14, whole.begin())) << c.capacity;
        }
    }
}

TEST(MidiWriter, TrackNamesRunningStatusAndAnIndependentReader)
{
    int32_t result, written;
    auto bytes = write(styleOf(0), -1, someTracks(), 100000, result, written);
    ASSERT_EQ(result, 0);
    EXPECT_TRUE(contains(bytes, {0xFF, 0x03, 20}));
    // First track: program change, volume, then notes under one status byte.
    EXPECT_TRUE(contains(bytes, {0x00, 0xC0, 0x00, 0x00, 0xB0, 0x07, 0x64, 0x00, 0x90, 60, 90, 0x00, 64, 90, 0x83, 0x00, 60,
                                 0, 0x00, 64, 0}));
    MidoView v = readWithMido(bytes.data(), bytes.size());
    ASSERT_TRUE(v.ok) << v.error;
    EXPECT_EQ(v.type, 1);
    EXPECT_EQ(v.ticksPerBeat, 192);
    std::vector<std::string> names = {"", "Acoustic Grand Piano", "Drum", "Bass", "Unknown", "String Ensemble 1"};
    EXPECT_EQ(v.names, names);
    std::vector<int> ons = {0, 2, 1, 1, 1, 1};
    EXPECT_EQ(v.noteOns, ons);
    std::vector<int> lengths = {0, 768, 768, 768, 768, 1536};
    EXPECT_EQ(v.lengths, lengths);
}

TEST(MidiWriter, PartWithoutItsProgramChangeGetsOneBeforeItsFirstNote)
{
    int32_t result, written;
    auto bytes = write(styleOf(0), -1, someTracks(), 100000, result, written);
    ASSERT_EQ(result, 0);
    // The bass (channel 9, program 33) lost its opening program change; the
    // piano kept its own and gets no second one; drums get none.
    EXPECT_TRUE(contains(bytes, {0x00, 0xC8, 33, 0x00, 0x98, 36, 100}));
    EXPECT_TRUE(contains(bytes, {'o', 0x00, 0xC0, 0x00, 0x00, 0xB0})) << "piano name, then its own program change";
    EXPECT_FALSE(contains(bytes, {0xC9}));
    EXPECT_FALSE(contains(bytes, {0xC3})) << "an unknown program is not invented";
}

TEST(MidiWriter, GeneralMidiNames)
{
    EXPECT_STREQ(generalMidiName(0), "Acoustic Grand Piano");
    EXPECT_STREQ(generalMidiName(33), "Electric Bass(finger)");
    EXPECT_STREQ(generalMidiName(127), "Gunshot");
    EXPECT_STREQ(generalMidiName(200), "Unknown");
}
