#include <gtest/gtest.h>

#include "PlaybackClock.h"
#include "RecordLogic.h"
#include "SongModel.h"

namespace melodrift {
namespace {

TEST(RecordCountIn, ShowsTheBeatsStillToCome)
{
    struct Case {
        int metre;
        double offset;
        int beats;
    };
    const Case cases[] = {
        {0, 0, 3}, {0, 29.9, 3}, {0, 30, 2}, {0, 60, 1}, {0, 119, 0},
        {1, 0, 2}, {1, 40, 1}, {1, 80, 0},
        {2, 0, 1}, {2, 60, 0}, {3, 59, 1}, {3, 60, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "metre " << c.metre << " offset " << c.offset);
        EXPECT_EQ(CountInBeatsToGo(c.metre, c.offset), c.beats);
    }
}

TEST(RecordMessages, FailuresWarningsAndMeter)
{
    struct Case {
        int code;
        const char* text;
        bool forgets;
    };
    const Case cases[] = {
        {1, "内存空间不足。", false},        {3, "指定设备的驱动程序无效。", true},
        {6, "指定设备不支持所需录音格式。", true}, {23, "指定设备不可用。", true},
        {37, "指定设备无法打开。", true},     {46, "指定设备正被其它程序占用。", true},
        {-2, "未知错误。", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordFailureMessage(c.code), QString::fromUtf8(c.text)) << c.code;
        EXPECT_EQ(RecordFailureForgetsDevice(c.code), c.forgets) << c.code;
    }
    EXPECT_TRUE(RecognisedInformation(6, 4).endsWith(QStringLiteral("可能导致旋律分析不准确！")));
    EXPECT_EQ(RecognisedInformation(7, 4), QStringLiteral("可识别音符数：7\n有效小节数：4"));

    EXPECT_EQ(MeterSegments(-1), 0);
    EXPECT_EQ(MeterSegments(0), 0);
    EXPECT_EQ(MeterSegments(32767), 52);
    EXPECT_EQ(MeterSegments(16384 | (32767 << 16)), 26);   // the positive peak decides
}

TEST(RecordLevels, LinesAroundTheCentre)
{
    EXPECT_EQ(LevelLine(0, 100), std::nullopt);
    EXPECT_EQ(LevelLine(int32_t(0x80001000), 100), std::nullopt);   // top bit set
    EXPECT_EQ(LevelLine(32767 | (16384 << 16), 100), (std::pair<int, int>(87, 107)));
    EXPECT_EQ(LevelLine(1 | (1 << 16), 100), std::nullopt);        // too small to draw
}

TEST(RecordRangeTest, MarkersKeepTheirOrderAndDistance)
{
    RecordRange r;
    r.PlaceBegin({2, 30});
    r.PlaceEnd({2, 40});              // too close: 15 ticks after the begin
    EXPECT_EQ(*r.end, (BarPos{2, 45}));
    r.PlaceEnd({4, 0});
    r.PlaceBegin({3, 115});           // 5 ticks before the end: moved back to 15 before it
    EXPECT_EQ(*r.begin, (BarPos{3, 105}));
    r.PlaceBegin({5, 0});             // after the end: also moved before it
    EXPECT_EQ(*r.begin, (BarPos{3, 105}));
    EXPECT_TRUE(r.Contains({3, 105}));
    EXPECT_FALSE(r.Contains({4, 0}));
    EXPECT_FALSE(r.Contains({3, 104}));

    RecordRange open;
    open.PlaceBegin({5, 0});
    EXPECT_TRUE(open.Contains({50, 0}));
    // The engine starts a bar before the begin marker.
    EXPECT_EQ(PartialStart({0, 0}, open), (BarPos{4, 0}));
    EXPECT_EQ(PartialStart({7, 10}, open), (BarPos{4, 0}));
    EXPECT_EQ(PartialStart({4, 60}, open), (BarPos{4, 60}));
    RecordRange first;
    first.PlaceBegin({0, 50});
    EXPECT_EQ(PartialStart({3, 0}, first), (BarPos{0, 0}));
    EXPECT_EQ(PartialStart({2, 0}, RecordRange{}), (BarPos{2, 0}));
}

TSongModel Song(int metre, int tempo)
{
    TSongModel song;
    song.metre = metre;
    song.tempo = tempo;
    RecomputeClockQuantities(song);
    return song;
}

TEST(TakeTrackerTest, RecordingFillsBarsTickByTickAndAddsBars)
{
    TSongModel song = Song(1, 90);   // 3/4 at 90: a bar is 2 s, 1.5 ticks a clock tick
    ASSERT_DOUBLE_EQ(song.ticksPerClockTick, 1.5);
    tagMelodyBar& countIn = song.AddBar();
    countIn.leadIn = true;
    TakeTracker take;
    take.StartRecording({}, true, false, {}, 0);
    std::vector<int> beats;
    int appended = 0;
    for (int i = 0; i < 240; ++i) {     // three bars
        const auto t = take.Advance(song, 1000 + i);
        if (t.beatsToGo >= 0 && (beats.empty() || beats.back() != t.beatsToGo))
            beats.push_back(t.beatsToGo);
        appended += t.appended;
    }
    EXPECT_EQ(beats, (std::vector<int>{2, 1, 0}));
    EXPECT_FALSE(take.countIn);
    EXPECT_EQ(appended, 3);
    ASSERT_EQ(song.bars.size(), 4u);
    // Every column of a finished bar holds a level: the ticks it skipped
    // take the previous one.
    for (int col = 0; col < 120; ++col)
        EXPECT_GT(song.bars[1].levels[static_cast<size_t>(col)], 0) << col;
    EXPECT_TRUE(song.bars[1].voiced);
    EXPECT_EQ(take.takeEnd.bar, 3);
}

TEST(TakeTrackerTest, PartialTakeWritesOnlyBetweenTheMarkersAndPlaybackStopsAtTheEnd)
{
    TSongModel song = Song(0, 120);  // 4/4 at 120: 1.5 ticks a clock tick
    for (int i = 0; i < 6; ++i) {
        tagMelodyBar& b = song.AddBar();
        b.voiced = false;
        b.levels.fill(7);
    }
    RecordRange range;
    range.PlaceBegin({2, 0});
    range.PlaceEnd({4, 0});
    TakeTracker take;
    take.StartRecording({1, 0}, false, true, range, 7);
    while (take.cursor.bar < 5)
        take.Advance(song, 500);
    EXPECT_TRUE(take.melodyChanged);
    for (int bar : {0, 1, 4, 5})
        EXPECT_EQ(song.bars[static_cast<size_t>(bar)].levels[60], 7) << bar;
    for (int bar : {2, 3}) {
        EXPECT_EQ(song.bars[static_cast<size_t>(bar)].levels[60], 500) << bar;
        EXPECT_TRUE(song.bars[static_cast<size_t>(bar)].voiced);
    }

    TakeTracker play;
    play.StartPlaying({5, 100});
    TakeTracker::Tick t;
    for (int i = 0; i < 20 && !t.reachedEnd; ++i)
        t = play.Advance(song, 100);
    EXPECT_TRUE(t.reachedEnd);
    EXPECT_EQ(song.bars.size(), 6u);
}

TEST(AlignTake, DropsLeadInAndTrailingBarsAndShiftsByLatency)
{
    TSongModel song = Song(0, 120);  // 2000 ms a bar: 60 ms is 3.6 ticks, 3 whole
    for (int i = 0; i < 6; ++i) {
        tagMelodyBar& b = song.AddBar();
        for (int c = 0; c < 120; ++c)
            b.levels[static_cast<size_t>(c)] = i * 1000 + c;
    }
    AlignRecognisedTake(song, 1, 3, 60);
    ASSERT_EQ(song.bars.size(), 3u);
    EXPECT_EQ(song.bars[0].levels[0], 1003);
    EXPECT_EQ(song.bars[0].levels[117], 2000);   // moved over from the next bar
    EXPECT_EQ(song.bars[2].levels[117], 0);   // nothing comes in after the last bar
    EXPECT_FALSE(song.bars[1].voiced);

    // The engine may count more bars than the clock drew: the song gets them, empty.
    TSongModel fast = Song(1, 90);
    fast.AddBar().leadIn = true;
    AlignRecognisedTake(fast, 0, 4, 0);
    ASSERT_EQ(fast.bars.size(), 4u);
    EXPECT_FALSE(fast.bars[3].leadIn);
    EXPECT_EQ(fast.bars[3].levels[0], 0);
}

TEST(RecordKeyboard, NotesUnderThePointer)
{
    struct Case {
        int x, y, note;
    };
    const Case cases[] = {
        {5, 50, 48}, {5, 10, 48},       // C: no black key at the left edge
        {15, 10, 49}, {15, 50, 48},     // C#: only above the black-key height
        {35, 10, 51}, {45, 50, 52}, {65, 10, 53},
        {75, 10, 54}, {115, 10, 58}, {135, 50, 59},
        {140, 50, 60}, {155, 10, 61},   // second octave
        {280, 10, -1}, {10, 60, -1}, {-1, 10, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyboardNoteAt(c.x, c.y, 60, 36, 2), c.note) << c.x << "," << c.y;
}

} // namespace
} // namespace melodrift
