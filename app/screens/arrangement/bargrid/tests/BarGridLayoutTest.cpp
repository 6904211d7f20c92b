#include <gtest/gtest.h>

#include "BarGridLayout.h"

namespace melodrift {
namespace {

BarGridLayout Grid(int width, int height, int bars)
{
    BarGridLayout g;
    g.SetBarCount(bars);
    g.Resize(width, height, false);
    return g;
}

TEST(BarGridLayout, RowsColumnsAndMarginsFollowTheClientArea)
{
    struct Case {
        int width, height, bars;
        int barsPerRow, leftOffset, visibleRows, totalRows;
    };
    const Case cases[] = {
        {800, 300, 13, 6, 30, 5, 3},
        {155, 57, 3, 1, 7, 1, 3},      // narrowest view that holds a bar
        {100, 20, 3, 1, 40, 1, 3},     // too small: still one bar and one row
        {1000, 112, 17, 8, 10, 2, 3},
        {1000, 111, 0, 8, 10, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " bars " << c.bars);
        BarGridLayout g = Grid(c.width, c.height, c.bars);
        EXPECT_EQ(g.BarsPerRow(), c.barsPerRow);
        EXPECT_EQ(g.LeftOffset(), c.leftOffset);
        EXPECT_EQ(g.VisibleRows(), c.visibleRows);
        EXPECT_EQ(g.TotalRows(), c.totalRows);
    }
}

TEST(BarGridLayout, BarsWrapLikeLinesOfText)
{
    BarGridLayout g = Grid(800, 300, 13);
    EXPECT_EQ(g.BarLeft(0), 30);
    EXPECT_EQ(g.BarLeft(5), 30 + 5 * 120);
    EXPECT_EQ(g.BarLeft(6), 30);
    EXPECT_EQ(g.RowTop(6), 56);
    EXPECT_EQ(g.TitleTop(12), 2 * 55 + 1 + 14);
    // The third row holds bar 13 alone; its bottom line ends one pixel past it.
    EXPECT_EQ(g.RowLineEnd(2), 30 + 120 + 1);
    EXPECT_EQ(g.RowLineEnd(0), 30 + 6 * 120 + 1);
}

TEST(BarGridLayout, HitTestFindsBarOffsetAndZone)
{
    // 800 x 300: 6 bars a row from x = 30, 20 bars in 4 rows.
    BarGridLayout g = Grid(800, 300, 20);
    struct Case {
        int x, y;
        bool snap, clamp;
        int bar, offset, zone;
    };
    const int x4 = 30 + 4 * 120;   // left edge of bar index 4
    const int x19 = 30 + 1 * 120;  // bar index 19 is the second bar of row 3
    const int row3 = 3 * 55 + 1;
    const Case cases[] = {
        {x4 + 115, 20, true, false, 5, 0, kZoneTitle},
        {x4 + 5, 20, true, false, 4, 0, kZoneTitle},
        {x4 + 115, 20, false, false, 4, 115, kZoneTitle},
        {x4 + 5, 20, false, false, 4, 5, kZoneTitle},
        {x19 + 115, row3 + 40, true, false, 19, 115, kZoneContent}, // last bar does not snap forward
        {x4 + 50, 1 + 13, false, false, 4, 50, kZoneTop},
        {x4 + 50, 1 + 14, false, false, 4, 50, kZoneTitle},
        {x4 + 50, 1 + 24, false, false, 4, 50, kZoneTitle},
        {x4 + 50, 1 + 25, false, false, 4, 50, kZoneContent},
        {30, 20, false, false, -1, 0, kZoneNone},          // on the left edge
        {30 + 720, 20, false, false, -1, 0, kZoneNone},    // past the last column
        {100, 1, false, false, -1, 0, kZoneNone},
        {100, 1 + 4 * 55, false, false, -1, 0, kZoneNone}, // below the last row
        {x19 + 120 + 50, row3 + 30, false, false, -1, 0, kZoneNone}, // empty slot after the last bar
        {x19 + 120 + 50, row3 + 30, false, true, 19, 50, kZoneContent},
        {0, -40, false, true, 0, 1, kZoneTop},               // clamped into the first bar
        {5000, 5000, false, true, 19, 119, kZoneContent},     // clamped into the grid, then to the last bar
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.x << "," << c.y << ") snap " << c.snap << " clamp " << c.clamp);
        const BarHit hit = g.HitTest(c.x, c.y, c.snap, c.clamp);
        EXPECT_EQ(hit.zone, c.zone);
        if (c.zone != kZoneNone) {
            EXPECT_EQ(hit.bar, c.bar);
            EXPECT_EQ(hit.offset, c.offset);
            EXPECT_EQ(hit.Packed(), uint32_t(c.offset) * 65536u + uint32_t(c.bar));
        }
    }
}

TEST(BarGridLayout, HitTestCountsTheScrolledRows)
{
    BarGridLayout g = Grid(800, 112, 30); // 2 rows in view of 5
    g.SetFirstRow(2);
    EXPECT_EQ(g.HitTest(30 + 10, 1 + 55 + 30, false, false).bar, 3 * 6);
    // Below the last row that exists, even though the view is taller.
    g.SetFirstRow(4);
    EXPECT_EQ(g.HitTest(40, 1 + 55 + 30, false, false).zone, kZoneNone);
}

TEST(BarGridLayout, AnEmptySongHasNoRowsAndHitsNothing)
{
    BarGridLayout g = Grid(800, 300, 0);
    EXPECT_EQ(g.TotalRows(), 0);
    EXPECT_FALSE(g.NeedsScrollBar());
    EXPECT_EQ(g.HitTest(100, 30, true, true).zone, kZoneNone);
    EXPECT_EQ(g.HitTest(100, 30, false, false).zone, kZoneNone);
    EXPECT_EQ(g.EndVisibleBar(), 0);
}

TEST(BarGridLayout, CursorScrollsToStayInView)
{
    // 3 rows in view, 10 rows of 6 bars.
    struct Case {
        int firstRow, cursorBar;
        bool scrolled;
        int expectFirst;
    };
    const Case cases[] = {
        {0, 2 * 6 + 3, false, 0},    // inside the view: no scroll
        {0, 3 * 6, true, 2},         // the row below: the last visible row becomes the first
        {6, 9 * 6, true, 7},         // near the end: never past the largest position
        {0, 8 * 6 + 1, true, 7},     // a jump far ahead brings the cursor's row into view
        {0, 4 * 6, true, 2},         // two rows past the view: the usual step already shows it
        {5, 2 * 6, true, 2},         // above the view: the cursor's row becomes the first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first " << c.firstRow << " cursor " << c.cursorBar);
        BarGridLayout g = Grid(800, 3 * 55 + 2, 60);
        g.SetFirstRow(c.firstRow);
        EXPECT_EQ(g.MoveCursor(c.cursorBar, 40), c.scrolled);
        EXPECT_EQ(g.FirstRow(), c.expectFirst);
        EXPECT_TRUE(g.RowInView(g.RowOf(c.cursorBar)));
    }
}

TEST(BarGridLayout, CursorLineAndStripsCoverOnlyWhatChanged)
{
    BarGridLayout g = Grid(800, 300, 20);
    EXPECT_EQ(g.CursorLine(7, 33), (BarRect{30 + 120 + 33, 56 + 14, 1, 42}));
    EXPECT_EQ(g.StripRect(7, 10, 20, kTopStripBit | kContentStripBit), (BarRect{30 + 120 + 10, 56, 11, 56}));
    EXPECT_EQ(g.StripRect(7, 0, 119, kTitleStripBit), (BarRect{30 + 120, 56 + 14, 120, 12}));
    EXPECT_EQ(g.StripRect(7, 0, 119, kContentStripBit), (BarRect{30 + 120, 56 + 25, 120, 31}));
    EXPECT_EQ(g.StripRect(7, 0, 119, 0), BarRect{});
    EXPECT_EQ(g.StripRect(25, 0, 119, kTitleStripBit), BarRect{});
    g.SetFirstRow(2);
    EXPECT_EQ(g.CursorLine(0, 5), BarRect{}); // scrolled out of view
}

TEST(BarGridLayout, ScrollActionsStayWithinRange)
{
    BarGridLayout g = Grid(800, 3 * 55 + 2, 60); // 10 rows, 3 visible: largest 7
    struct Case {
        int first;
        ScrollAction action;
        int position, expect;
    };
    const Case cases[] = {
        {0, ScrollAction::LineUp, 0, 0},    {3, ScrollAction::LineUp, 0, 2},
        {7, ScrollAction::LineDown, 0, 7},  {3, ScrollAction::LineDown, 0, 4},
        {2, ScrollAction::PageUp, 0, 0},    {5, ScrollAction::PageUp, 0, 2},
        {3, ScrollAction::PageDown, 0, 6},  {6, ScrollAction::PageDown, 0, 7},
        {4, ScrollAction::Top, 0, 0},       {1, ScrollAction::Bottom, 0, 7},
        {0, ScrollAction::Track, 5, 5},     {0, ScrollAction::Track, 12, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first " << c.first << " action " << int(c.action));
        g.SetFirstRow(c.first);
        EXPECT_EQ(g.ScrollTarget(c.action, c.position), c.expect);
    }
}

TEST(BarGridLayout, ResizeKeepsTheFirstVisibleBarOrTheCursorInView)
{
    // 60 bars, 6 a row, 3 rows visible; scrolled to row 4 (bar 24).
    BarGridLayout g = Grid(800, 3 * 55 + 2, 60);
    g.SetFirstRow(4);
    g.Resize(1000, 3 * 55 + 2, false); // 8 a row: bar 24 is in row 3
    EXPECT_EQ(g.BarsPerRow(), 8);
    EXPECT_EQ(g.FirstRow(), 3);

    // While playing, the cursor's row stays in view with one row above it.
    BarGridLayout p = Grid(800, 3 * 55 + 2, 60);
    p.SetFirstRow(1);
    p.MoveCursor(40, 0);
    p.Resize(560, 3 * 55 + 2, true); // 4 a row: cursor in row 10, remembered bar 36 in row 9
    EXPECT_EQ(p.BarsPerRow(), 4);
    EXPECT_EQ(p.FirstRow(), 9);
    EXPECT_TRUE(p.RowInView(p.RowOf(40)));

    // When everything fits, the grid goes back to the top.
    g.Resize(1000, 1000, false);
    EXPECT_EQ(g.FirstRow(), 0);
    EXPECT_FALSE(g.NeedsScrollBar());
}

} // namespace
} // namespace melodrift
