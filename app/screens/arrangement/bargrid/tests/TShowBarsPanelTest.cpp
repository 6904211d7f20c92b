#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>
#include <set>

#include "SongModel.h"
#include "TShowBarsPanel.h"
#include "TSkinScrollBar.h"

namespace melodrift {
namespace {

// A derived view that records which hooks the grid called and draws chords
// in every bar, the way the arrangement views do.
class ChordView : public TShowBarsPanel {
public:
    using TShowBarsPanel::TShowBarsPanel;
    std::set<int> contentBars, topBars;
    int layoutChanges = 0;
    QPoint contentOf7, backOf7, topOf7;

protected:
    void LayoutChanged() override { ++layoutChanges; }
    void GetBarTitle(int bar, QString& title) override
    {
        if (bar % 4 == 3)
            title = title.leftJustified(6, QLatin1Char(' ')) + QStringLiteral("加花-1");
    }
    void DrawContentBack(QPainter&, int bar, int x, int y) override
    {
        if (bar == 7)
            backOf7 = {x, y};
    }
    void DrawContent(QPainter& p, int bar, int x, int y) override
    {
        contentBars.insert(bar);
        if (bar == 7)
            contentOf7 = {x, y};
        DrawChord(p, x + 10, y + 4, (bar * 7) % 48);
        DrawChord(p, x + 70, y + 4, (bar * 5 + 1) % 48);
    }
    void DrawTopStrip(QPainter&, int bar, int x, int y) override
    {
        topBars.insert(bar);
        if (bar == 7)
            topOf7 = {x, y};
    }
};

void SaveShot(QWidget& w, const char* name)
{
    QDir().mkpath(QStringLiteral(MELODRIFT_SCREENSHOT_DIR));
    w.grab().save(QStringLiteral(MELODRIFT_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name)));
}

QImage Picture(QWidget& w) { return w.grab().toImage(); }

TEST(TShowBarsPanel, PaintsTheBarsInViewAndCallsTheHooksWithTheirCorners)
{
    TSongModel song;
    song.key = 7;
    song.SetFlag(kFlagChordLetters, true);
    ChordView view(&song);
    view.resize(800, 3 * 55 + 2);
    view.SetBarCount(40);
    view.SetCursor(8, 60);
    const QImage img = Picture(view);
    SaveShot(view, "grid-letters");

    // Rows 0..2 hold bars 0..17; nothing below is drawn.
    EXPECT_EQ(*view.contentBars.begin(), 0);
    EXPECT_EQ(*view.contentBars.rbegin(), 17);
    EXPECT_EQ(view.topBars, view.contentBars);
    // Bar 7: second bar of row 1, left edge 150, row top 56, title top 70.
    EXPECT_EQ(view.contentOf7, QPoint(150, 81));
    EXPECT_EQ(view.backOf7, QPoint(151, 81));
    EXPECT_EQ(view.topOf7, QPoint(150, 56));
    // Play cursor line in red inside bar 8; grid line colour at bar edges.
    EXPECT_EQ(img.pixelColor(30 + 2 * 120 + 60, 56 + 14 + 20), QColor(0xFF, 0, 0));
    EXPECT_EQ(img.pixelColor(30 + 120, 56 + 14 + 20), QColor(0xA4, 0x73, 0x46));
    EXPECT_FALSE(view.ScrollBar()->isHidden());
    EXPECT_EQ(view.ScrollBar()->maximum(), 7 - 3);
    EXPECT_EQ(view.ScrollBar()->pageStep(), 3);

    song.SetFlag(kFlagChordLetters, false);
    SaveShot(view, "grid-roman");
}

TEST(TShowBarsPanel, LastRowEndsAtItsLastBarAndEmptyGridDrawsNothing)
{
    ChordView view(nullptr);
    view.resize(800, 300);
    view.SetBarCount(13);
    QImage img = Picture(view);
    const QColor line(0xA4, 0x73, 0x46);
    const int bottom = 2 * 55 + 1 + 55; // third row's bottom line
    EXPECT_EQ(img.pixelColor(30 + 120 + 1, bottom), line);
    EXPECT_NE(img.pixelColor(30 + 120 + 10, bottom), line);
    EXPECT_TRUE(view.ScrollBar()->isHidden());
    SaveShot(view, "grid-13-bars");

    view.contentBars.clear();
    view.SetBarCount(0);
    img = Picture(view);
    EXPECT_TRUE(view.contentBars.empty());
    EXPECT_TRUE(view.ScrollBar()->isHidden());
    EXPECT_NE(img.pixelColor(30, 14 + 20), line); // no row edge
}

TEST(TShowBarsPanel, CursorMovesRepaintOnlyItsLinesUntilItLeavesTheView)
{
    ChordView view(nullptr);
    view.resize(800, 3 * 55 + 2);
    view.SetBarCount(60);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const int before = view.layoutChanges;
    view.SetCursor(3, 10);
    view.SetCursor(4, 0);
    EXPECT_EQ(view.Layout().FirstRow(), 0);
    EXPECT_EQ(view.layoutChanges, before);

    // Into the row below the last visible row: the last row becomes the first.
    view.SetCursor(18, 0);
    EXPECT_EQ(view.Layout().FirstRow(), 2);
    EXPECT_EQ(view.ScrollBar()->value(), 2);
    EXPECT_EQ(view.layoutChanges, before + 1);
}

TEST(TShowBarsPanel, ScrollBarAndWheelMoveTheFirstRow)
{
    ChordView view(nullptr);
    view.resize(800, 3 * 55 + 2);
    view.SetBarCount(60);
    view.ScrollBar()->setValue(5);
    EXPECT_EQ(view.Layout().FirstRow(), 5);

    QWheelEvent down(QPointF(100, 50), QPointF(100, 50), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &down);
    EXPECT_EQ(view.Layout().FirstRow(), 6);
    EXPECT_EQ(view.ScrollBar()->value(), 6);
    QWheelEvent up(QPointF(100, 50), QPointF(100, 50), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &up);
    QApplication::sendEvent(&view, &up);
    EXPECT_EQ(view.Layout().FirstRow(), 4);
    SaveShot(view, "grid-scrolled");

    // Everything fits: the wheel does nothing.
    view.SetBarCount(10);
    QApplication::sendEvent(&view, &down);
    EXPECT_EQ(view.Layout().FirstRow(), 0);
}

} // namespace
} // namespace melodrift
