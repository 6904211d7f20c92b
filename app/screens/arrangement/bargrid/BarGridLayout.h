#pragma once

// Geometry of the bar grid without pixels: bars per row, rows in view, the
// scroll position, where a bar or the play cursor lies, what a point hits and
// how the view scrolls. TShowBarsPanel paints from it; tests drive it alone.

#include <cstdint>

namespace melodrift {

struct BarGridMetrics {
    static constexpr int kBarWidth = 120;
    static constexpr int kContentWidth = 120;
    static constexpr int kRowHeight = 55;
    static constexpr int kContentHeight = 30;
    static constexpr int kTitleHeight = 11;     // the "BarTitle" picture
    static constexpr int kTopHeight = kRowHeight - (kTitleHeight + kContentHeight);   // 14
    static constexpr int kMinLeftMargin = 15;
    static constexpr int kRightMargin = 20;     // room for the scroll bar
    static constexpr int kTopMargin = 1;
    static constexpr int kSnap = 10;
};

// Zones of a row, as hit tests report them; RepaintBar takes their bits.
enum BarZone : int { kZoneNone = -1, kZoneTop = 0, kZoneTitle = 1, kZoneContent = 2 };
enum BarZoneBits : int { kTopStripBit = 1, kTitleStripBit = 2, kContentStripBit = 4 };

struct BarHit {
    int bar = -1;
    int offset = 0;     // 0..119 inside the bar
    int zone = kZoneNone;
    // offset * 65536 + bar, 16 bits each.
    uint32_t Packed() const { return (uint32_t(offset & 0xFFFF) << 16) | uint32_t(bar & 0xFFFF); }
};

struct BarRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const BarRect&) const = default;
};

enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Top, Bottom, Track };

class BarGridLayout {
public:
    using M = BarGridMetrics;

    // Recomputes the layout for a client area. While playing with the cursor
    // set, the cursor's row stays in view with one row above it; otherwise the
    // first visible bar stays in view.
    void Resize(int clientWidth, int clientHeight, bool playing);

    // Stores n and scrolls back to the top.
    void SetBarCount(int n);
    // Stores the first visible row as given (the caller clamps); true when it changed.
    bool SetFirstRow(int row);

    int BarCount() const { return m_barCount; }
    int BarsPerRow() const { return m_barsPerRow; }
    int VisibleRows() const { return m_visibleRows; }
    int LeftOffset() const { return m_leftOffset; }
    int TotalRows() const { return m_totalRows; }
    int FirstRow() const { return m_firstRow; }
    int ClientWidth() const { return m_width; }
    int ClientHeight() const { return m_height; }
    // The largest useful scroll position: total rows - visible rows, at least 0.
    int LargestFirstRow() const;
    bool NeedsScrollBar() const { return m_totalRows > m_visibleRows; }

    int RowOf(int bar) const { return bar / m_barsPerRow; }
    int ColumnOf(int bar) const { return bar % m_barsPerRow; }
    int BarLeft(int bar) const { return ColumnOf(bar) * M::kBarWidth + m_leftOffset; }
    // Row top in view coordinates; negative or beyond the view when scrolled away.
    int RowTop(int bar) const { return (RowOf(bar) - m_firstRow) * M::kRowHeight + M::kTopMargin; }
    int TitleTop(int bar) const { return RowTop(bar) + M::kTopHeight; }
    bool RowInView(int row) const { return row >= m_firstRow && row < m_firstRow + m_visibleRows && row < m_totalRows; }
    // Bars [first, end) of the rows in view.
    int FirstVisibleBar() const;
    int EndVisibleBar() const;
    // Right end of the bottom line of a row: one pixel past its last bar's right edge.
    int RowLineEnd(int row) const;

    // The strips of a bar between two offsets, for zone bits; empty when out of view.
    BarRect StripRect(int bar, int xFrom, int xTo, int zones) const;
    // The one-pixel cursor line from title top to row bottom.
    BarRect CursorLine(int bar, int offset) const;

    // Play cursor. Moves it and scrolls so that it stays in view; true when the
    // first row changed (the whole view must be repainted).
    bool MoveCursor(int bar, int offset);
    void ClearCursor() { m_cursorBar = -1; m_cursorOffset = 0; }
    int CursorBar() const { return m_cursorBar; }
    int CursorOffset() const { return m_cursorOffset; }

    // The first row after a scroll-bar action (Track takes position).
    int ScrollTarget(ScrollAction action, int position = 0) const;

    BarHit HitTest(int x, int y, bool snap, bool clamp) const;

private:
    void RecountRows();

    int m_width = 0, m_height = 0;
    int m_barsPerRow = 1, m_visibleRows = 1, m_leftOffset = 0;
    int m_barCount = 0, m_totalRows = 0, m_firstRow = 0;
    int m_cursorBar = -1, m_cursorOffset = 0;
};

} // namespace melodrift
