#include "TRecordBarsPanel.h"

#include <QMouseEvent>
#include <QPainter>

#include "RecordingArt.h"
#include "SongModel.h"

namespace melodrift {

namespace {
const QColor kVoiced(0x0F, 0xE5, 0xE2);
const QColor kKept(0x4B, 0x94, 0x93);
const QColor kShade(0xCD, 0xCD, 0xCD);
// The marker cursor's tip lies this far from the pointer.
constexpr int kTipDx = 6, kTipDy = 19;
} // namespace

std::optional<BarPos> TRecordBarsPanel::PositionAt(QPoint at, bool clamp)
{
    const BarHit hit = HitTest(at.x(), at.y(), false, clamp);
    if (hit.zone == kZoneNone)
        return std::nullopt;
    return BarPos{hit.bar, static_cast<double>(hit.offset)};
}

void TRecordBarsPanel::DrawContentBack(QPainter& p, int bar, int x, int y)
{
    if (!partial)
        return;
    // Shade the parts of the bar outside the range.
    for (int col = 0; col < 119; ++col) {
        if (!range.Contains(BarPos{bar, static_cast<double>(col)})) {
            int end = col;
            while (end < 119 && !range.Contains(BarPos{bar, static_cast<double>(end)}))
                ++end;
            p.fillRect(x + col, y, end - col, M::kContentHeight, kShade);
            col = end;
        }
    }
}

void TRecordBarsPanel::DrawContent(QPainter& p, int bar, int x, int y)
{
    const TSongModel* song = Song();
    if (!song || bar < 0 || bar >= static_cast<int>(song->bars.size()))
        return;
    const tagMelodyBar& b = song->bars[static_cast<size_t>(bar)];
    if (b.leadIn)
        return;
    p.setPen(b.voiced ? kVoiced : kKept);
    const int centre = y + 15;
    for (int col = 0; col < 120; ++col)
        if (const auto line = LevelLine(b.levels[static_cast<size_t>(col)], centre))
            p.drawLine(x + col, line->first, x + col, line->second);
}

void TRecordBarsPanel::DrawTopStrip(QPainter& p, int bar, int x, int y)
{
    if (!partial)
        return;
    if (range.begin && range.begin->bar == bar)
        p.drawPixmap(x + static_cast<int>(range.begin->offset), y + 1, recording::RecordMarker(true));
    if (range.end && range.end->bar == bar)
        p.drawPixmap(x + static_cast<int>(range.end->offset) - 12, y + 1, recording::RecordMarker(false));
}

void TRecordBarsPanel::mousePressEvent(QMouseEvent* event)
{
    if (locked)
        return;
    if (event->button() == Qt::RightButton) {
        emit rightClicked();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (placing != 0) {
        if (const auto pos = PositionAt(at + QPoint(kTipDx, kTipDy), true)) {
            if (placing == 1)
                range.PlaceBegin(*pos);
            else
                range.PlaceEnd(*pos);
            const int which = placing;
            placing = 0;
            update();
            emit markerPlaced(which);
        }
        return;
    }
    m_pressAt = at;
    m_pressed = true;
    m_dragging = false;
}

void TRecordBarsPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (locked || !m_pressed)
        return;
    const QPoint at = event->position().toPoint();
    if (!m_dragging && (at - m_pressAt).manhattanLength() > 4) {
        const auto begin = PositionAt(m_pressAt, true);
        if (!begin)
            return;
        m_dragging = true;
        partial = true;
        range.Clear();
        range.PlaceBegin(*begin);
    }
    if (m_dragging) {
        if (const auto end = PositionAt(at, true))
            range.PlaceEnd(*end);
        update();
    }
}

void TRecordBarsPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (locked || !m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        emit rangeDragged();
        return;
    }
    if (const auto pos = PositionAt(event->position().toPoint(), false))
        emit clickedAt(*pos);
}

void TRecordBarsPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (locked || !partial)
        return;
    const auto pos = PositionAt(event->position().toPoint(), false);
    if (!pos)
        return;
    auto near = [&](const std::optional<BarPos>& m, double within) {
        return m && std::abs((pos->bar - m->bar) * 120.0 + pos->offset - m->offset) <= within;
    };
    if (near(range.begin, 3)) {
        range.begin.reset();
    } else if (near(range.end, 6)) {
        range.end.reset();
    } else {
        return;
    }
    update();
    emit markerRemoved();
}

} // namespace melodrift
