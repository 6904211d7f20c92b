#include "EventParser.h"
#include "StyleDecoder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace melodrift::arrangix;
using namespace krvtest;

namespace {

PatternTrack parse(const std::vector<uint8_t>& events, int32_t& result, uint16_t storedLength = 0)
{
    PatternTrack t;
    t.length = storedLength;
    result = parseTrackEvents(events, t);
    return t;
}

std::shared_ptr<DecodedStyle> decodeOk(const Style& s)
{
    auto r = StyleDecoder::decode(deflate(krv(s)), 7);
    EXPECT_EQ(r.error, 0);
    return r.style;
}

}  // namespace

TEST(StyleDecoder, ReadsHeaderSegmentsGroupsAndUnpitchedPart)
{
    Style s = smallStyle(3);
    s.tempo = 0x0A1B2C;
    auto style = decodeOk(s);
    ASSERT_TRUE(style);
    EXPECT_EQ(style->id, 7);
    EXPECT_EQ(style->metre, 3);
    EXPECT_EQ(style->clocksPerClick, 0x18);
    EXPECT_EQ(style->thirtySecondsPerQuarter, 8);
    EXPECT_EQ(style->tempo, 0x0A1B2C);
    EXPECT_EQ(style->barLength(), 576);
    ASSERT_EQ(style->segments[kMain].size(), 2u);
    ASSERT_EQ(style->segments[kFill].size(), 2u);
    ASSERT_EQ(style->segments[kIntro].size(), 1u);
    ASSERT_EQ(style->segments[kOutro].size(), 1u);
    const StyleSegment& main = style->segments[kMain][1];
    EXPECT_EQ(main.id, 1);
    EXPECT_EQ(main.length, 4 * 576);
    ASSERT_EQ(main.groups[0].size(), 2u);
    EXPECT_EQ(main.groups[1].size(), 2u);
    EXPECT_TRUE(main.groups[2].empty());
    ASSERT_TRUE(main.unpitched.has_value());
    EXPECT_EQ(main.unpitched->channel, 9);
    EXPECT_EQ(main.groups[0][1].channel, 8);
    EXPECT_EQ(main.groups[0][1].program, 33);
    EXPECT_FALSE(style->segments[kIntro][0].unpitched.has_value());
    EXPECT_EQ(style->segments[kIntro][0].groups[1].size(), 2u);
}

TEST(StyleDecoder, RejectsBrokenBlocks)
{
    auto good = krv(smallStyle());
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t error;
    };
    auto badMagic = good;
    badMagic[1] = 'X';
    auto longBody = good;
    longBody[7] += 1;  // L + 8 one past the data
    auto cut = good;
    cut.resize(good.size() - 3);
    auto tooManyKinds = good;
    tooManyKinds[11] = 5;
    Case cases[] = {
        {"magic", badMagic, kErrFormat},
        {"body length", longBody, StyleDecoder::kErrBody},
        {"short", std::vector<uint8_t>(good.begin(), good.begin() + 10), kErrFormat},
        {"kinds", tooManyKinds, kErrFormat},
    };
    for (const Case& c : cases) {
        auto r = StyleDecoder::parse(c.bytes, 1);
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_FALSE(r.style) << c.what;
    }
    // A body cut short inside a track (length field patched to match).
    cut[4] = cut[5] = 0;
    uint32_t body = uint32_t(cut.size() - 8);
    cut[6] = uint8_t(body >> 8);
    cut[7] = uint8_t(body);
    EXPECT_EQ(StyleDecoder::parse(cut, 1).error, kErrFormat);
}

TEST(StyleDecoder, ZlibErrorsComeBackAsTheyAre)
{
    std::vector<uint8_t> junk = {1, 2, 3, 4, 5};
    auto r = StyleDecoder::decode(junk, 1);
    EXPECT_LT(r.error, 0);
    EXPECT_GT(r.error, -10);  // a zlib code, not one of ours
    std::vector<uint8_t> huge(StyleDecoder::kInflateCapacity + 1, 0);
    EXPECT_EQ(StyleDecoder::decode(deflate(huge), 1).error, -5);  // Z_BUF_ERROR
}

TEST(StyleDecoder, TrackErrorRejectsTheWholeStyle)
{
    Style s = smallStyle();
    s.kinds[3][0].groups[0][0].events = {0x00, 0xF3, 0x00};
    EXPECT_EQ(StyleDecoder::decode(deflate(krv(s)), 1).error, kErrEvent);
}

TEST(EventParser, EventStreamsTable)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> events;
        int32_t result;
        int32_t length;  // stored length is 1234
        size_t slices;
        size_t notes;
    };
    Case cases[] = {
        {"end of track sets length", {0, 0x90, 60, 100, 96, 0x80, 60, 0, 10, 0xFF, 0x2F, 0}, 1, 106, 2, 2},
        {"running status", {0, 0x90, 60, 100, 0, 64, 100, 96, 60, 0, 0, 64, 0, 0, 0xFF, 0x2F, 0}, 1, 96, 2, 4},
        {"no end keeps stored length", {0, 0x90, 60, 100, 96, 0x80, 60, 0}, 0, 1234, 1, 2},
        {"meta and sysex skipped", {0, 0xFF, 0x03, 2, 'a', 'b', 0, 0xF0, 2, 1, 2, 0, 0x90, 60, 1, 5, 0xFF, 0x2F, 0}, 1, 5, 1, 1},
        {"end with length byte", {0, 0xFF, 0x2F, 1}, kErrFormat, 1234, 0, 0},
        {"status F1 up", {0, 0xF8}, kErrEvent, 1234, 0, 0},
        {"data before status", {0, 60, 100}, kErrEvent, 1234, 0, 0},
        {"data byte with top bit", {0, 0x90, 60, 0x80}, kErrFormat, 1234, 0, 0},
        {"truncated message", {0, 0x90, 60}, kErrFormat, 1234, 0, 0},
        {"truncated delta", {0, 0x90, 60, 1, 0x81}, kErrFormat, 1234, 0, 1},
        {"five-byte delta", {0x81, 0x81, 0x81, 0x81, 0x01, 0xFF, 0x2F, 0}, kErrFormat, 1234, 0, 0},
        {"empty track", {}, 0, 1234, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t r;
        PatternTrack t = parse(c.events, r, 1234);
        EXPECT_EQ(r, c.result) << c.what;
        if (r >= 0) {
            EXPECT_EQ(t.length, c.length) << c.what;
            EXPECT_EQ(t.slices.size(), c.slices) << c.what;
        }
        EXPECT_EQ(t.notes.size(), c.notes) << c.what;
    }
}

TEST(EventParser, SlicesHoldOneTickEach)
{
    int32_t r;
    PatternTrack t =
        parse(Events().on(0, 0, 60).on(0, 0, 64).off(96, 0, 60).control(96, 0, 7, 90).off(192, 0, 64).end(200), r);
    ASSERT_EQ(r, 1);
    ASSERT_EQ(t.slices.size(), 3u);
    EXPECT_EQ(t.slices[0].start, 0);
    EXPECT_EQ(t.slices[0].notes.size(), 2u);
    EXPECT_EQ(t.slices[1].start, 96);
    EXPECT_EQ(t.slices[1].notes.size(), 1u);     // the note-off of 60
    EXPECT_EQ(t.slices[1].controls.size(), 1u);  // volume
    EXPECT_EQ(t.slices[2].start, 192);
    EXPECT_EQ(t.notes[0].end, 96);
    EXPECT_EQ(t.notes[1].end, 192);
}

TEST(EventParser, ChannelIsFixedByTheFirstMessage)
{
    LogCapture log;
    int32_t r;
    PatternTrack t = parse(Events().on(0, 3, 60).off(10, 4, 60).end(20), r);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(t.channel, 3);
    EXPECT_TRUE(log.Contains("Redefine channel."));
    EXPECT_EQ(t.notes[0].end, 10);  // still taken
}

TEST(PatternNotes, CreationRulesTable)
{
    struct Case {
        const char* what;
        uint8_t program;
        std::vector<uint8_t> events;
        size_t noteOns;
        const char* logLine;
    };
    Case cases[] = {
        {"repeated note-on keeps one", 0xFF, Events().on(0, 0, 60, 90).on(10, 0, 60, 90).off(20, 0, 60).end(30), 1, "wrong note"},
        {"other velocity is another note", 0xFF, Events().on(0, 0, 60, 90).on(10, 0, 60, 91).off(20, 0, 60).end(30), 2, nullptr},
        {"guitar keeps 40", 25, Events().on(0, 0, 40).off(10, 0, 40).end(20), 1, nullptr},
        {"guitar drops 39", 25, Events().on(0, 0, 39).off(10, 0, 39).end(20), 0, "Delete guitar noise."},
        {"guitar drops 91", 30, Events().on(0, 0, 91).end(20), 0, "Delete guitar noise."},
        {"piano keeps 39", 0, Events().on(0, 0, 39).off(10, 0, 39).end(20), 1, nullptr},
        {"stray note-off dropped", 0xFF, Events().off(0, 0, 60).end(20), 0, "wrong note"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        PatternTrack t;
        t.program = c.program;
        int32_t r = parseTrackEvents(c.events, t);
        EXPECT_EQ(r, 1) << c.what;
        EXPECT_EQ(t.noteOns.size(), c.noteOns) << c.what;
        if (c.logLine) {
            EXPECT_TRUE(log.Contains(c.logLine)) << c.what;
        }
    }
}

TEST(PatternNotes, NoteOffClosesNotesAndSharesOneRecordPerPitch)
{
    PatternTrack t;
    auto a = t.createNote(60, 90, 0);
    auto b = t.createNote(60, 80, 5);
    auto off1 = t.createNote(60, 0, 10);  // closes both open notes
    ASSERT_TRUE(a && b && off1);
    EXPECT_EQ(t.notes[*a].end, 10);
    EXPECT_EQ(t.notes[*b].end, 10);
    auto c = t.createNote(60, 90, 20);
    auto off2 = t.createNote(60, 0, 30);
    EXPECT_EQ(off1, off2);
    EXPECT_EQ(t.notes[*c].end, 30);
    EXPECT_EQ(t.notes[*off1].velocity, 0);
    EXPECT_EQ(t.notes[*off1].start, -1);
    EXPECT_FALSE(t.createNote(60, 0, 40));  // nothing open any more
    EXPECT_FALSE(t.createNote(128, 1, 0));
    EXPECT_FALSE(t.createNote(1, 200, 0));
}

TEST(PatternControls, DroppedSharedAndDrumProgramsTable)
{
    struct Case {
        uint8_t channel;
        uint8_t status, d1, d2;
        bool kept;
        uint8_t keptD1;
    };
    Case cases[] = {
        {0, 0xB0, 7, 100, true, 7},    {0, 0xB0, 3, 1, false, 0},    {0, 0xB0, 9, 1, false, 0},
        {0, 0xB0, 12, 1, false, 0},    {0, 0xB0, 16, 1, true, 16},   {0, 0xB0, 31, 1, false, 0},
        {0, 0xB0, 35, 1, false, 0},    {0, 0xB0, 41, 1, false, 0},   {0, 0xB0, 64, 127, true, 64},
        {0, 0xB0, 63, 1, false, 0},    {0, 0xB0, 85, 1, false, 0},   {0, 0xB0, 91, 40, true, 91},
        {0, 0xB0, 119, 1, false, 0},   {0, 0xB0, 120, 0, true, 120}, {9, 0xC0, 25, 0, true, 0},
        {9, 0xC0, 48, 0, true, 0},     {9, 0xC0, 56, 0, true, 0},    {9, 0xC0, 24, 0, true, 24},
        {0, 0xC0, 25, 0, true, 25},
    };
    for (const Case& c : cases) {
        PatternTrack t;
        t.channel = c.channel;
        auto r = t.createControl(c.status, c.d1, c.d2);
        EXPECT_EQ(r.has_value(), c.kept) << int(c.status) << " " << int(c.d1);
        if (r) {
            EXPECT_EQ(t.controls[*r].data1, c.keptD1) << int(c.d1);
        }
    }
    PatternTrack t;
    t.channel = 9;
    t.program = 48;
    t.createControl(0xC0, 48, 0);
    EXPECT_EQ(t.program, 0);
    auto x = t.createControl(0xB0, 7, 100);
    auto y = t.createControl(0xB0, 7, 100);
    auto z = t.createControl(0xB0, 7, 101);
    EXPECT_EQ(x, y);
    EXPECT_NE(x, z);
}
