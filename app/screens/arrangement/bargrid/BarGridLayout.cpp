#include "BarGridLayout.h"

#include <algorithm>

namespace melodrift {

void BarGridLayout::RecountRows()
{
    m_totalRows = m_barCount > 0 ? (m_barCount + m_barsPerRow - 1) / m_barsPerRow : 0;
}

int BarGridLayout::LargestFirstRow() const
{
    return std::max(0, m_totalRows - m_visibleRows);
}

void BarGridLayout::Resize(int clientWidth, int clientHeight, bool playing)
{
    int rememberedBar = (m_barCount > 0 && m_firstRow > 0) ? m_firstRow * m_barsPerRow : 0;
    m_width = clientWidth;
    m_height = clientHeight;
    // A view narrower than one bar or lower than one row still lays out one of each.
    m_barsPerRow = std::max(1, (clientWidth - M::kMinLeftMargin - M::kRightMargin) / M::kBarWidth);
    m_visibleRows = std::max(1, (clientHeight - 2 * M::kTopMargin) / M::kRowHeight);
    m_leftOffset = std::max(0, ((clientWidth - M::kRightMargin) % M::kBarWidth) / 2);
    if (playing && m_cursorBar >= 0)
        rememberedBar = std::max(0, m_cursorBar - m_barsPerRow);
    RecountRows();
    if (m_barCount > 0 && NeedsScrollBar())
        m_firstRow = rememberedBar == 0 ? 0 : std::min(LargestFirstRow(), rememberedBar / m_barsPerRow);
    else
        m_firstRow = 0;
}

void BarGridLayout::SetBarCount(int n)
{
    m_barCount = std::max(0, n);
    m_firstRow = 0;
    if (m_cursorBar >= m_barCount)
        ClearCursor();
    RecountRows();
}

bool BarGridLayout::SetFirstRow(int row)
{
    if (row == m_firstRow)
        return false;
    m_firstRow = row;
    return true;
}

int BarGridLayout::FirstVisibleBar() const
{
    return std::min(m_barCount, m_firstRow * m_barsPerRow);
}

int BarGridLayout::EndVisibleBar() const
{
    return std::min(m_barCount, (m_firstRow + m_visibleRows) * m_barsPerRow);
}

int BarGridLayout::RowLineEnd(int row) const
{
    const int barsInRow = std::min(m_barsPerRow, m_barCount - row * m_barsPerRow);
    return m_leftOffset + barsInRow * M::kBarWidth + 1;
}

BarRect BarGridLayout::StripRect(int bar, int xFrom, int xTo, int zones) const
{
    if (bar < 0 || bar >= m_barCount || !RowInView(RowOf(bar)) || zones == 0)
        return {};
    int top = RowTop(bar);
    int bottom = top + M::kRowHeight;
    if (!(zones & kTopStripBit))
        top += M::kTopHeight;
    if (!(zones & kTopStripBit) && !(zones & kTitleStripBit))
        top += M::kTitleHeight;
    if (!(zones & kContentStripBit))
        bottom -= M::kContentHeight;
    if (!(zones & kContentStripBit) && !(zones & kTitleStripBit))
        bottom -= M::kTitleHeight;
    if (bottom <= top || xTo < xFrom)
        return {};
    const int left = BarLeft(bar);
    // One pixel more on the right: the bar's right edge line belongs to the repaint.
    return {left + xFrom, top, xTo - xFrom + 1, bottom - top + 1};
}

BarRect BarGridLayout::CursorLine(int bar, int offset) const
{
    if (bar < 0 || bar >= m_barCount || !RowInView(RowOf(bar)))
        return {};
    return {BarLeft(bar) + offset, TitleTop(bar), 1, M::kTitleHeight + M::kContentHeight + 1};
}

bool BarGridLayout::MoveCursor(int bar, int offset)
{
    m_cursorBar = bar;
    m_cursorOffset = std::clamp(offset, 0, M::kBarWidth - 1);
    if (bar < 0 || bar >= m_barCount)
        return false;
    const int row = RowOf(bar);
    const int r = row - m_firstRow;
    int first = m_firstRow;
    if (r < 0) {
        first = row;
    } else if (r > m_visibleRows - 1) {
        // The last visible row becomes the first; a cursor that jumped further
        // (a seek) brings its own row to the top.
        first = std::min(LargestFirstRow(), m_firstRow + m_visibleRows - 1);
        if (row > first + m_visibleRows - 1)
            first = std::min(LargestFirstRow(), row);
    }
    return SetFirstRow(first);
}

int BarGridLayout::ScrollTarget(ScrollAction action, int position) const
{
    const int largest = LargestFirstRow();
    switch (action) {
    case ScrollAction::LineUp: return std::max(0, m_firstRow - 1);
    case ScrollAction::LineDown: return std::min(largest, m_firstRow + 1);
    case ScrollAction::PageUp: return std::max(0, m_firstRow - m_visibleRows);
    case ScrollAction::PageDown: return std::min(m_firstRow + m_visibleRows, largest);
    case ScrollAction::Top: return 0;
    case ScrollAction::Bottom: return largest;
    case ScrollAction::Track: return std::clamp(position, 0, largest);
    }
    return m_firstRow;
}

BarHit BarGridLayout::HitTest(int x, int y, bool snap, bool clamp) const
{
    BarHit hit;
    if (m_barCount <= 0)
        return hit;
    const int gridRight = m_leftOffset + m_barsPerRow * M::kBarWidth;
    const int gridBottom = (m_totalRows - m_firstRow) * M::kRowHeight;
    if (clamp) {
        x = std::clamp(x, m_leftOffset + 1, gridRight - 1);
        y = std::clamp(y, 2, std::max(2, gridBottom));
    } else if (x <= m_leftOffset || x >= gridRight || y <= 1 || y >= 1 + gridBottom) {
        return hit;
    }
    int bar = (x - m_leftOffset) / M::kBarWidth + ((y - 1) / M::kRowHeight + m_firstRow) * m_barsPerRow;
    int offset = (x - m_leftOffset) % M::kBarWidth;
    const int rowY = (y - 1) % M::kRowHeight;
    int zone;
    if (bar >= m_barCount) {
        if (!clamp)
            return hit;
        bar = m_barCount - 1;
        zone = kZoneContent;
    } else {
        zone = rowY < M::kTopHeight ? kZoneTop : rowY < M::kTopHeight + M::kTitleHeight ? kZoneTitle : kZoneContent;
    }
    if (snap) {
        if (offset > M::kBarWidth - M::kSnap) {
            if (bar < m_barCount - 1) {
                ++bar;
                offset = 0;
            }
        } else if (offset < M::kSnap) {
            offset = 0;
        }
    }
    hit.bar = bar;
    hit.offset = offset;
    hit.zone = zone;
    return hit;
}

} // namespace melodrift
