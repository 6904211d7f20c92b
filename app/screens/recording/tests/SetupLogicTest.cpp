#include <gtest/gtest.h>

#include "SetupLogic.h"

namespace melodrift {
namespace {

TEST(TempoDial, AnglesAndTemposCorrespondWithinTheLimits)
{
    struct Case {
        int tempo, angle, entryAngle;
    };
    const Case cases[] = {
        {200, 135, 135}, {50, -135, -135}, {125, 0, 0},
        {126, 2, 1},     // rounding vs truncation toward zero
        {124, -2, -1}, {90, -63, -63}, {51, -133, -133},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tempo);
        EXPECT_EQ(DialAngleFromTempo(c.tempo), c.angle);
        EXPECT_EQ(DialAngleFromTempoOnEntry(c.tempo), c.entryAngle);
    }
    EXPECT_EQ(TempoFromDialAngle(135), 200);
    EXPECT_EQ(TempoFromDialAngle(-135), 50);
    EXPECT_EQ(TempoFromDialAngle(-63), 90);
    EXPECT_EQ(TempoFromDialAngle(1), 125);
}

TEST(TempoDial, VectorsPointTheDialAndOutOfRangeIsIgnored)
{
    struct Case {
        double dx, dy;
        int current;
        int expect;     // 999: ignored
    };
    const Case cases[] = {
        {0, -10, 45, 0},          // straight up
        {10, 0, 0, 90},           // right
        {-10, 0, 0, -90},         // left
        {10, 10, 0, 135},         // lower right: the limit itself
        {-10, 10, 0, -135},
        {1, 10, 0, 999},          // nearly straight down: beyond the limit
        {-1, 10, 0, 999},
        {10, 0, 90, 999},         // unchanged
        {0, 0, 0, 999},           // the centre has no direction
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        const auto a = DialAngleFromVector(c.dx, c.dy, c.current);
        EXPECT_EQ(a.value_or(999), c.expect);
    }
}

TEST(TapTempo, AveragesTapsAndRestartsAfterAPause)
{
    struct Step {
        uint32_t at;
        int tempo;
        bool tooFast;
    };
    const Step steps[] = {
        {10000, -1, false}, {10500, -1, false},
        {11000, 120, false},              // average 500
        {11600, 114, false},              // (600 + 3 * 500) / 4 = 525
        {12900, -1, false},               // 1300 ms later: a new count
        {13100, -1, true},                // too fast: not counted
        {13300, -1, true},
        {13500, -1, true},
        {13900, -1, false},               // 400 after the last fast tap: second of the new count
        {14500, 120, false},              // (400 + 600) / 2 = 500
        {16000, -1, false},               // a pause again
        {16100, -1, true}, {16200, -1, true}, {16300, -1, true}, // three fast taps never give a tempo
    };
    TapTempo taps;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.at);
        const TapTempo::Result r = taps.Tap(s.at);
        EXPECT_EQ(r.tempo, s.tempo);
        EXPECT_EQ(r.tooFast, s.tooFast);
    }
    // The slowest and fastest taps that still count.
    TapTempo slow;
    slow.Tap(5000);
    slow.Tap(6150);
    EXPECT_EQ(slow.Tap(7300).tempo, 52);
    TapTempo fast;
    fast.Tap(1000);
    fast.Tap(1300);
    EXPECT_EQ(fast.Tap(1600).tempo, 200);
}

TEST(SetupLeave, QuestionNamesWhatChanged)
{
    EXPECT_EQ(LeaveQuestion(true, false, true), QStringLiteral("重设速度，将创建新的工程。\n是否保存当前工程?"));
    EXPECT_EQ(LeaveQuestion(true, true, true), QStringLiteral("重设速度和节拍，将创建新的工程。\n是否保存当前工程?"));
    EXPECT_EQ(LeaveQuestion(false, true, false), QStringLiteral("重设节拍，将创建新的工程。\n是否确定新建工程?"));
    EXPECT_EQ(StepMaskForMetre(1, 1), 31);
    EXPECT_EQ(StepMaskForMetre(2, 1), 3);
}

TEST(SetupStyles, CategoriesGiveTheMaskAndDiskPicture)
{
    const int8_t a[4] = {3, 12, -1, 5};   // stops at the first negative; 12 counts as 9
    EXPECT_EQ(GenreMaskOf(a), (1u << 3) | (1u << 9));
    EXPECT_EQ(CheckedCategories(GenreMaskOf(a)), (std::vector<int>{3, 9}));
    EXPECT_EQ(DiskPictureOf(a), 3);
    const int8_t none[4] = {-1, 2, 2, 2};
    EXPECT_EQ(GenreMaskOf(none), 0u);
    EXPECT_EQ(DiskPictureOf(none), 0);
    const int8_t high[4] = {14, -1, -1, -1};
    EXPECT_EQ(DiskPictureOf(high), 9);
}

StyleCarousel Carousel(int count)
{
    StyleCarousel c;
    c.SetGeometry(636, 120, 120, 124);
    c.SetCount(count);
    return c;
}

TEST(StyleCarouselTest, BrowsingWrapsAroundTheList)
{
    StyleCarousel c = Carousel(5);
    EXPECT_EQ(c.SlotWidth(), 159);
    EXPECT_EQ(c.offset, -60);
    // Four disks fit from -60: slots at -60, 99, 258, 417, 576.
    const auto disks = c.Disks();
    ASSERT_EQ(disks.size(), 5u);
    EXPECT_EQ(disks[1].index, 1);
    EXPECT_EQ(disks[4].x, 576);

    c.Browse(-1, true);
    EXPECT_EQ(c.speed, 1);
    c.Browse(-1, true);
    c.Browse(-1, true);
    EXPECT_EQ(c.speed, 3);
    for (int i = 0; i < 10; ++i)
        c.Tick();   // 6 pixels a tick at speed 3: -60 - 60 = -120 wraps
    EXPECT_EQ(c.first, 1);
    EXPECT_EQ(c.offset, -120 + 159);
    c.Browse(1, false);   // the other button restarts the speed; a right click slows to 1
    EXPECT_EQ(c.speed, 1);
    EXPECT_EQ(c.direction, 1);
}

TEST(StyleCarouselTest, ChosenStyleIsCentredInTheThirdSlotThenOpens)
{
    struct Case {
        int chosen, direction;
    };
    for (const Case& k : {Case{0, 1}, Case{1, 1}, Case{3, -1}, Case{4, -1}}) {
        SCOPED_TRACE(k.chosen);
        StyleCarousel c = Carousel(6);
        ASSERT_TRUE(c.Choose(k.chosen));
        EXPECT_EQ(c.direction, k.direction);
        EXPECT_FALSE(c.Choose(k.chosen));   // already chosen
        bool played = false;
        int ticks = 0;
        while (!played && ticks < 500) {
            played = c.Tick();
            ++ticks;
        }
        ASSERT_TRUE(played);
        EXPECT_EQ(c.first, (k.chosen + 6 - 2) % 6);
        EXPECT_EQ(c.offset, c.CentreOffset());
        EXPECT_LE(c.sleeveOffset, 17 - 120);
        EXPECT_FALSE(c.running);
    }
    StyleCarousel empty = Carousel(0);
    EXPECT_FALSE(empty.Choose(0));
    EXPECT_EQ(empty.DiskAt(10, 10), -1);
    EXPECT_TRUE(empty.Disks().empty());
}

} // namespace
} // namespace melodrift
