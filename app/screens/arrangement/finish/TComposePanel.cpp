#include "TComposePanel.h"

#include <QMouseEvent>
#include <QPainter>

#include "SongFormLogic.h"
#include "SongModel.h"
#include "Pipeline.h"

namespace melodrift {

namespace {
const QColor kSelectedFrame(0xE3, 0x18, 0x13);
}

TComposePanel::TComposePanel(TSongModel& song, QWidget* parent) : TShowBarsPanel(&song, parent), m_song(song) {}

void TComposePanel::Rebuild()
{
    SetBarCount(SongFormEditor(m_song).BarCount());
    if (m_selected >= static_cast<int>(m_song.songForm.size()))
        m_selected = -1;
    update();
}

void TComposePanel::SetSelectedStage(int stage)
{
    m_selected = stage;
    update();
}

void TComposePanel::SetInsertMark(int position)
{
    if (position == m_insertMark)
        return;
    m_insertMark = position;
    update();
}

int TComposePanel::StageAt(const QPoint& at, int* zone)
{
    const BarHit hit = HitTest(at.x(), at.y(), false, false);
    if (zone)
        *zone = hit.zone;
    return hit.bar < 0 ? -1 : SongFormEditor(m_song).StageOfBar(hit.bar);
}

int TComposePanel::InsertionAt(const QPoint& at)
{
    const BarHit hit = HitTest(at.x(), at.y(), false, true);
    SongFormEditor form(m_song);
    if (hit.bar < 0)
        return -1;
    const int stage = form.StageOfBar(hit.bar);
    if (stage < 0)
        return form.StageCount();
    const int first = form.FirstBarOf(stage);
    const int bars = std::max(1, m_song.songForm[stage].barCount);
    const int pixel = (hit.bar - first) * M::kBarWidth + hit.offset;
    return pixel * 2 > bars * M::kBarWidth ? stage + 1 : stage;
}

void TComposePanel::GetBarTitle(int bar, QString& title)
{
    SongFormEditor form(m_song);
    const int stage = form.StageOfBar(bar);
    if (stage < 0 || !IsMelodyRef(m_song.songForm[stage].ref))
        return;
    const int fill = form.FillAt(stage, bar - form.FirstBarOf(stage));
    if (fill >= 0)
        title = title.leftJustified(6, QLatin1Char(' ')) + QStringLiteral("加花-%1").arg(fill + 1);
}

void TComposePanel::DrawContentBack(QPainter& p, int bar, int x, int y)
{
    SongFormEditor form(m_song);
    const int stage = form.StageOfBar(bar);
    if (stage < 0)
        return;
    const tagComposeStage& s = m_song.songForm[stage];
    p.fillRect(QRect(x, y, M::kContentWidth - 1, M::kContentHeight), StageColour(s));
    if (IsMelodyRef(s.ref) && s.ref < static_cast<int>(m_song.stages.size())) {
        const int melodyBar = m_song.stages[s.ref].firstBar + bar - form.FirstBarOf(stage);
        if (melodyBar >= 0 && melodyBar < static_cast<int>(m_song.bars.size())) {
            const auto& chords = m_song.bars[melodyBar].chords;
            for (int slot = 0; slot < 2; ++slot)
                if (chords[slot] >= 0)
                    DrawChord(p, x + 4 + slot * 60, y + 6, chords[slot]);
        }
    }
}

void TComposePanel::DrawContent(QPainter& p, int bar, int x, int y)
{
    SongFormEditor form(m_song);
    const int stage = form.StageOfBar(bar);
    const int top = y - M::kTitleHeight;
    const int bottom = y + M::kContentHeight;
    if (stage >= 0 && stage == m_selected) {
        const int first = form.FirstBarOf(stage);
        const int last = first + m_song.songForm[stage].barCount - 1;
        p.setPen(QPen(kSelectedFrame, 2));
        p.drawLine(x, top + 1, x + M::kBarWidth, top + 1);
        p.drawLine(x, bottom - 1, x + M::kBarWidth, bottom - 1);
        if (bar == first)
            p.drawLine(x + 1, top, x + 1, bottom);
        if (bar == last)
            p.drawLine(x + M::kBarWidth - 1, top, x + M::kBarWidth - 1, bottom);
    }
    if (m_insertMark >= 0) {
        const int markBar = form.FirstBarOf(m_insertMark);
        const bool here = markBar == bar || (markBar == form.BarCount() && bar == markBar - 1);
        if (here) {
            const int lineX = markBar == bar ? x : x + M::kBarWidth - 15;
            p.fillRect(QRect(lineX, top, 15, bottom - top), Qt::white);
            p.setPen(QPen(kSelectedFrame, 2));
            p.drawLine(markBar == bar ? lineX + 1 : lineX + 14, top, markBar == bar ? lineX + 1 : lineX + 14, bottom);
        }
    }
}

void TComposePanel::DrawTopStrip(QPainter& p, int bar, int x, int y)
{
    SongFormEditor form(m_song);
    const int stage = form.StageOfBar(bar);
    if (stage < 0 || form.FirstBarOf(stage) != bar)
        return;
    const tagComposeStage& s = m_song.songForm[stage];
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x8A, 0x5A, 0x2B));
    p.setBrush(StageColour(s));
    const QPointF tri[3] = {QPointF(x + 1, y + 1), QPointF(x + 12, y + 1), QPointF(x + 1, y + 12)};
    p.drawPolygon(tri, 3);
    if (IsMelodyRef(s.ref)) {
        p.setPen(QColor(0x3C, 0x2B, 0x17));
        p.drawText(QRect(x + 14, y, 40, M::kTopHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(StageLetter(s.ref)));
    }
    p.restore();
}

void TComposePanel::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    emit pressed(event);
}

} // namespace melodrift
