#pragma once

// The bar grid every arrangement screen shows: bars wrapping into rows like
// lines of text, each row a top strip (stage markers and names), a title
// strip (bar number) and a content strip (chords or the level curve). The
// grid owns geometry, scrolling, the play cursor, hit tests, the frame and
// chord labels; a derived view draws inside each bar through the virtual
// operations below. Only the GUI thread touches it.

#include <QWidget>

#include "BarGridLayout.h"

class QPainter;

namespace melodrift {

class TSongModel;
class TSkinScrollBar;

class TShowBarsPanel : public QWidget {
    Q_OBJECT
public:
    using M = BarGridMetrics;

    // The song gives the key and the chord display mode of the labels; it may
    // be null (labels then spell in C with letters).
    explicit TShowBarsPanel(TSongModel* song, QWidget* parent = nullptr);
    ~TShowBarsPanel() override;

    void SetBarCount(int n);
    int BarCount() const { return m_layout.BarCount(); }
    // Moves the play cursor (-1 for none) and scrolls to keep it in view.
    void SetCursor(int bar, int offset);
    void SetFirstRow(int row, bool updateScrollBar);
    BarHit HitTest(int x, int y, bool snap, bool clamp);
    // Repaints offsets [xFrom, xTo] of a bar in the strips given by BarZoneBits.
    void RepaintBar(int bar, int xFrom, int xTo, int zones);

    // Set by the owner around playback; only changes how a resize scrolls.
    void SetPlaying(bool playing) { m_playing = playing; }
    bool Playing() const { return m_playing; }

    const BarGridLayout& Layout() const { return m_layout; }
    TSkinScrollBar* ScrollBar() const { return m_scrollBar; }
    TSongModel* Song() const { return m_song; }

    // Writes a chord label with its top-left at (left, top).
    virtual void DrawChord(QPainter& p, int left, int top, int code);

protected:
    // Called after the first visible row or the layout changed.
    virtual void LayoutChanged() {}
    // May change a bar's title (initially its 1-based number).
    virtual void GetBarTitle(int bar, QString& title) { (void)bar; (void)title; }
    // (x, y) is the top-left corner of the bar's content strip, inside the grid line.
    virtual void DrawContentBack(QPainter& p, int bar, int x, int y) { (void)p; (void)bar; (void)x; (void)y; }
    // x is the bar's left edge, y the top of its content strip.
    virtual void DrawContent(QPainter& p, int bar, int x, int y) { (void)p; (void)bar; (void)x; (void)y; }
    // x is the bar's left edge, y its row top.
    virtual void DrawTopStrip(QPainter& p, int bar, int x, int y) { (void)p; (void)bar; (void)x; (void)y; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Relayout();
    // Qt delivers a hidden widget's resize only when it is shown; the grid
    // lays out for its current size before any operation instead.
    void EnsureLayout();
    void SyncScrollBar();
    void ScrollBy(ScrollAction action);
    void RepaintRect(const BarRect& r);

    TSongModel* m_song;
    BarGridLayout m_layout;
    TSkinScrollBar* m_scrollBar;
    bool m_playing = false;
};

} // namespace melodrift
