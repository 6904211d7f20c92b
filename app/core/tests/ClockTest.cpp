#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeEngine.h"
#include "PlaybackClock.h"
#include "SongModel.h"

namespace melodrift {
namespace {

using test::Fake;

TEST(Clock, DerivedQuantitiesFollowTempoAndMetre)
{
    test::InstallFakeEngine();
    struct Case {
        int tempo, metre;
        double ticks, ms;
    };
    const Case cases[] = {{120, 0, 1.5, 2000}, {75, 1, 1.25, 2400}, {60, 2, 1.5, 2000}, {90, 3, 1.5, 2000}};
    for (const Case& c : cases) {
        TSongModel s;
        SetMetre(s, c.metre, true);
        SetTempo(s, c.tempo, true);
        EXPECT_DOUBLE_EQ(s.ticksPerClockTick, c.ticks) << c.tempo << " " << c.metre;
        EXPECT_DOUBLE_EQ(s.msPerBar, c.ms) << c.tempo << " " << c.metre;
    }
}

TEST(Clock, UnchangedValuesReachTheEngineOnlyWhenForced)
{
    test::InstallFakeEngine();
    TSongModel s;
    SetTempo(s, 75, false);
    SetMetre(s, 0, false);
    EXPECT_TRUE(Fake().tempoCalls.empty());
    EXPECT_TRUE(Fake().metreCalls.empty());
    SetTempo(s, 75, true);
    SetMetre(s, 0, true);
    SetTempo(s, 100, false);
    SetMetre(s, 3, false);
    EXPECT_EQ(Fake().tempoCalls, (std::vector<int>{75, 100}));
    EXPECT_EQ(Fake().metreCalls, (std::vector<int>{0, 3}));
    EXPECT_EQ(s.tempo, 100);
    EXPECT_DOUBLE_EQ(s.msPerBar, 1800);
}

TEST(Clock, PositionTexts)
{
    struct Case {
        bool bars;
        int metre, tempo, bar;
        double offset;
        const char* text;
    };
    const Case cases[] = {
        {true, 3, 75, 0, 50, "01:03:060"},   // 6/8: six beats of 20 ticks
        {true, 0, 75, 0, 0, "01:01:000"},
        {true, 0, 75, 4, 119.9, "05:04:119"},
        {true, 1, 75, 9, 45, "10:02:015"},   // 3/4: beats of 40
        {true, 2, 75, 0, 61, "01:02:002"},   // 2/4: beats of 60
        {false, 0, 120, 1, 0, "00:02:000"},
        {false, 0, 120, 30, 60, "01:01:000"},
        {false, 1, 75, 0, 20, "00:00:040"},  // 400 ms: 40 hundredths, printed with three digits
        {false, 0, 60, 0, 1, "00:00:003"},   // 33 ms: three hundredths
    };
    for (const Case& c : cases) {
        TSongModel s;
        s.SetFlag(kFlagBarPositions, c.bars);
        s.metre = c.metre;
        s.tempo = c.tempo;
        EXPECT_EQ(FormatPosition(s, c.bar, c.offset), c.text) << c.bar << " " << c.offset;
    }
}

TEST(Clock, TicksReachItsWindowUntilStopped)
{
    test::MessageLog log;
    int screen = 0;
    PlaybackClock clock;
    clock.Start(&screen);
    EXPECT_TRUE(clock.Running());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (log.Snapshot().size() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    clock.Stop();
    EXPECT_FALSE(clock.Running());
    const auto ticks = log.Take();
    ASSERT_GE(ticks.size(), 3u);
    for (const auto& m : ticks) {
        EXPECT_EQ(m.window, &screen);
        EXPECT_EQ(m.message, static_cast<uint32_t>(UM_CLOCK_TICK));
        EXPECT_EQ(m.wParam, 0);
        EXPECT_EQ(m.lParam, 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(log.Take().empty()) << "no tick after Stop";
}

} // namespace
} // namespace melodrift
