#include "TCompletePanel.h"

#include <QMouseEvent>
#include <QPainter>

#include "CompleteLogic.h"
#include "SongFormLogic.h"
#include "SongModel.h"

namespace melodrift {

namespace {
const QColor kCurve(0x4B, 0x94, 0x93);
const QColor kCurveNow(0x0F, 0xE5, 0xE2);
}

TCompletePanel::TCompletePanel(TSongModel& song, const CompleteState& state, QWidget* parent)
    : TShowBarsPanel(&song, parent), m_song(song), m_state(state)
{
}

void TCompletePanel::Rebuild()
{
    SetBarCount(m_state.BarCount());
    update();
}

void TCompletePanel::DrawContentBack(QPainter& p, int bar, int x, int y)
{
    SongFormEditor form(m_song);
    const int stage = form.StageOfBar(bar);
    if (stage < 0)
        return;
    const tagComposeStage& s = m_song.songForm[stage];
    // Split at a marker inside this bar: each side takes its range's colour.
    for (int c = 0; c < M::kContentWidth - 1;) {
        const bool inside = m_state.InRange(bar, c);
        int e = c + 1;
        while (e < M::kContentWidth - 1 && m_state.InRange(bar, e) == inside)
            ++e;
        p.fillRect(QRect(x + c, y, e - c, M::kContentHeight), StageColour(s, !inside));
        c = e;
    }
}

void TCompletePanel::DrawContent(QPainter& p, int bar, int x, int y)
{
    if (bar < 0 || bar >= static_cast<int>(m_song.barVols.size()))
        return;
    const tagBarVols& vols = m_song.barVols[bar];
    if (vols.leadIn)
        return;   // a bar without levels
    p.setPen(vols.voiced ? kCurveNow : kCurve);
    const int centre = y + 15;
    for (int c = 0; c < 120; ++c) {
        const int32_t v = vols.levels[c];
        if (v == 0 || v == -1)
            continue;
        const int up = (v & 0xFFFF) * 14 / 32768;
        const int down = ((v >> 16) & 0xFFFF) * 14 / 32768;
        p.drawLine(x + c, centre - up, x + c, centre + down);
    }
}

void TCompletePanel::DrawTopStrip(QPainter& p, int bar, int x, int y)
{
    SongFormEditor form(m_song);
    const int stage = form.StageOfBar(bar);
    if (stage >= 0 && form.FirstBarOf(stage) == bar) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0x8A, 0x5A, 0x2B));
        p.setBrush(StageColour(m_song.songForm[stage]));
        const QPointF tri[3] = {QPointF(x + 1, y + 1), QPointF(x + 12, y + 1), QPointF(x + 1, y + 12)};
        p.drawPolygon(tri, 3);
        p.restore();
    }
    if (!m_state.Partial())
        return;
    for (int which = 0; which < 2; ++which) {
        const BarMark& m = which == 0 ? m_state.Begin() : m_state.End();
        if (!m.Set() || m.bar != bar)
            continue;
        const int mx = x + m.offset;
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(which == 0 ? QColor(0x46, 0x9A, 0x08) : QColor(0xD7, 0x4E, 0x02));
        const QPointF flag[3] = {QPointF(mx, y + 2), QPointF(mx + (which == 0 ? 7 : -7), y + 6), QPointF(mx, y + 11)};
        p.drawPolygon(flag, 3);
        p.setPen(QPen(p.brush().color(), 1));
        p.drawLine(mx, y + 2, mx, y + M::kRowHeight - 2);
        p.restore();
    }
}

void TCompletePanel::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    emit pressed(event);
}

void TCompletePanel::mouseDoubleClickEvent(QMouseEvent* event) { emit doubleClicked(event); }

} // namespace melodrift
