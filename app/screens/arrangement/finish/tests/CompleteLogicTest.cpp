#include <gtest/gtest.h>

#include "CompleteLogic.h"
#include "SongModel.h"
#include "TCompleteForm.h"

using namespace melodrift;

namespace {

// An intro of 2 bars and melody stage A of 4 bars whose bars carry levels
// 100 + bar; 120 pixels a bar, 12 pixels a clock tick, 1200 ms a bar.
TSongModel FinishedSong()
{
    TSongModel song;
    for (int i = 0; i < 4; ++i)
        song.AddBar().levels.fill(100 + i);
    song.stages = {{0, 3, 0}};
    song.songForm = {{kIntroRef, 2, -1, 7, {}}, {0, 4, 0, 7, {}}};
    song.ticksPerClockTick = 12;
    song.msPerBar = 1200;
    return song;
}

TEST(CompleteLogicTest, LevelsStartFromTheMelodyAndSectionsStartSilent)
{
    TSongModel song = FinishedSong();
    CompleteState state(song);
    state.BuildLevels();
    ASSERT_EQ(song.barVols.size(), 6u);
    EXPECT_EQ(song.barVols[0].levels[5], 0);
    EXPECT_EQ(song.barVols[2].levels[5], 100);
    EXPECT_EQ(song.barVols[5].levels[119], 103);
    song.barVols[0].levels[0] = 9;
    state.BuildLevels();
    EXPECT_EQ(song.barVols[0].levels[0], 9) << "existing levels are kept";
}

TEST(CompleteLogicTest, MarkersKeepTheirOrderAndGap)
{
    struct Case {
        const char* name;
        int beginAt, endAt;     // absolute pixels placed in this order (-1 skip)
        bool firstPlaced, secondPlaced;
        int begin, end;
    };
    const Case cases[] = {
        {"end 5 pixels after the begin goes to 15", 250, 255, true, true, 250, 265},
        {"an end before the begin is refused", 250, 200, true, false, 250, -1},
        {"plain range", 130, 400, true, true, 130, 400},
    };
    for (const Case& c : cases) {
        TSongModel song = FinishedSong();
        CompleteState state(song);
        state.SetPartial(true);
        EXPECT_EQ(state.PlaceBegin(c.beginAt / 120, c.beginAt % 120), c.firstPlaced) << c.name;
        EXPECT_EQ(state.PlaceEnd(c.endAt / 120, c.endAt % 120), c.secondPlaced) << c.name;
        EXPECT_EQ(state.Begin().Set() ? state.Begin().Absolute() : -1, c.begin) << c.name;
        EXPECT_EQ(state.End().Set() ? state.End().Absolute() : -1, c.end) << c.name;
    }
    // A begin placed within the gap before an end is pushed back to it.
    TSongModel song = FinishedSong();
    CompleteState state(song);
    state.SetPartial(true);
    ASSERT_TRUE(state.PlaceEnd(3, 0));
    ASSERT_TRUE(state.PlaceBegin(2, 110));
    EXPECT_EQ(state.Begin().Absolute(), 360 - kMarkerGap);
    EXPECT_FALSE(state.PlaceBegin(3, 50));
    state.SetPartial(false);
    EXPECT_FALSE(state.Begin().Set()) << "leaving partial mode clears the markers";
}

TEST(CompleteLogicTest, PartialRecordingStartsABarEarlyAndWritesOnlyInsideTheRange)
{
    TSongModel song = FinishedSong();
    CompleteState state(song);
    state.BuildLevels();
    state.SetPartial(true);
    ASSERT_TRUE(state.PlaceBegin(3, 60));
    ASSERT_TRUE(state.PlaceEnd(4, 60));
    const RecordStart r = state.StartRecording(3, 80);
    EXPECT_EQ(r.cursorBar, 2);
    EXPECT_EQ(r.cursorOffset, 0);
    EXPECT_DOUBLE_EQ(r.start, 2.0);
    EXPECT_DOUBLE_EQ(r.punchIn, 3.5);
    EXPECT_DOUBLE_EQ(r.punchOut, 4.5);
    EXPECT_EQ(state.LastLevel(), 101) << "the level at the begin marker";

    std::vector<int> streams;
    auto level = [&](int stream) {
        streams.push_back(stream);
        return stream == 1 ? 5000 : -1;
    };
    int ticks = 0;
    while (state.CursorBar() < 5 && state.Tick(true, level, [](int) {}))
        ++ticks;
    // Bar 2 and the start of bar 3 keep the melody's levels; the range has the new ones.
    EXPECT_EQ(song.barVols[2].levels[60], 100);
    EXPECT_EQ(song.barVols[3].levels[48], 101);
    EXPECT_EQ(song.barVols[3].levels[72], 5000);
    EXPECT_EQ(song.barVols[4].levels[48], 5000);
    EXPECT_EQ(song.barVols[4].levels[72], 102) << "the end marker is exclusive";
    EXPECT_TRUE(song.barVols[3].voiced) << "marked as recorded now";
    EXPECT_FALSE(song.barVols[2].voiced);
    EXPECT_EQ(state.MeterValue(), 0) << "outside the range the voice stream is read";
    EXPECT_TRUE(song.Flag(kFlagFinalTake));
    EXPECT_NE(std::find(streams.begin(), streams.end(), 1), streams.end());
}

TEST(CompleteLogicTest, PlaybackStopsAtTheEndAndClearsTheRecordedMark)
{
    TSongModel song = FinishedSong();
    CompleteState state(song);
    state.BuildLevels();
    song.barVols[1].voiced = true;
    std::vector<int> repainted;
    int ticks = 0;
    while (state.Tick(false, [](int) { return 0; }, [&](int bar) { repainted.push_back(bar); }))
        ++ticks;
    EXPECT_EQ(ticks, 6 * 10 - 1);
    EXPECT_FALSE(song.barVols[1].voiced);
    EXPECT_EQ(repainted, std::vector<int>{1});
}

TEST(CompleteLogicTest, LatencyShiftsTheRecordedCurveLeft)
{
    struct Case {
        int latencyMs;
        int shift;
    };
    // A bar of 1200 ms has 10 ms a column.
    for (const Case c : {Case{10, 1}, Case{25, 2}, Case{5, 0}, Case{0, 0}, Case{7200, 0}}) {
        TSongModel song = FinishedSong();
        CompleteState state(song);
        state.BuildLevels();
        for (int bar = 0; bar < 6; ++bar)
            for (int col = 0; col < 120; ++col)
                song.barVols[bar].levels[col] = bar * 120 + col;
        EXPECT_EQ(state.ShiftForLatency(c.latencyMs, 4, 0), c.shift) << c.latencyMs;
        EXPECT_EQ(song.barVols[0].levels[0], c.shift) << c.latencyMs;
        EXPECT_EQ(song.barVols[3].levels[118], std::min(478 + c.shift, 479)) << "the last recorded value fills the end";
        EXPECT_EQ(song.barVols[4].levels[0], 480) << "after the stop nothing moves";
    }
}

} // namespace
