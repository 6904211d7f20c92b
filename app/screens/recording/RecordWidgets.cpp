#include "RecordWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "RecordLogic.h"
#include "SkinArt.h"

namespace melodrift {

namespace {
constexpr int kTrackTop = 16, kTrackLeft = 8, kTrackRight = 24;
}

TVolumeSlider::TVolumeSlider(QWidget* parent) : QWidget(parent)
{
    setFixedSize(32, 132);
}

void TVolumeSlider::SetVolume(float volume)
{
    m_knob = std::clamp(static_cast<int>(100 - 100 * volume), 0, 100);
    setToolTip(QString::number(100 - m_knob));
    update();
}

bool TVolumeSlider::PressAt(QPoint at)
{
    if (at.x() < kTrackLeft || at.x() > kTrackRight || at.y() < kTrackTop || at.y() > kTrackTop + 100)
        return false;
    m_dragging = true;
    DragTo(at.y());
    return true;
}

void TVolumeSlider::DragTo(int y)
{
    m_knob = std::clamp(y - kTrackTop, 0, 100);
    setToolTip(QString::number(100 - m_knob));
    update();
}

void TVolumeSlider::Release()
{
    m_dragging = false;
    emit volumeApplied(Volume());
}

void TVolumeSlider::mousePressEvent(QMouseEvent* event)
{
    PressAt(event->position().toPoint());
}

void TVolumeSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        DragTo(event->position().toPoint().y());
}

void TVolumeSlider::mouseReleaseEvent(QMouseEvent*)
{
    if (m_dragging)
        Release();
}

void TVolumeSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(skin::kPaper);
    p.setPen(QColor(0xA4, 0x73, 0x46));
    p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 6, 6);
    p.fillRect(QRect(14, kTrackTop, 4, 100), QColor(0xD9, 0xA8, 0x6C));
    p.fillRect(QRect(14, kTrackTop + m_knob, 4, 100 - m_knob), QColor(0x8A, 0x5A, 0x2B));
    p.setBrush(QColor(0xE8, 0xB7, 0x7A));
    p.drawEllipse(QPointF(16, kTrackTop + m_knob), 7, 7);
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(10));
    p.drawText(QRect(0, kTrackTop + 102, 32, 14), Qt::AlignCenter, QString::number(100 - m_knob));
}

TLevelMeter::TLevelMeter(QWidget* parent) : QWidget(parent)
{
    setFixedSize(53 * 3 + 2, 12);
}

void TLevelMeter::SetSegments(int lit)
{
    lit = std::clamp(lit, 0, 53);
    if (lit != m_lit) {
        m_lit = lit;
        update();
    }
}

QColor TLevelMeter::SegmentColour(int i)
{
    if (i <= 21)
        return QColor(0x46, 0x9A, 0x08);
    if (i <= 31)
        return QColor(0xDD, 0xF1, 0x02);
    if (i <= 41)
        return QColor(0xDD, 0x7A, 0x00);
    if (i <= 51)
        return QColor(0xD7, 0x4E, 0x02);
    return QColor(0xFF, 0x00, 0x00);
}

void TLevelMeter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x3C, 0x2B, 0x17));
    for (int i = 0; i < 53; ++i)
        p.fillRect(1 + i * 3, 2, 2, 8, i < m_lit ? SegmentColour(i) : QColor(0x5A, 0x48, 0x34));
}

TKeyboardPanel::TKeyboardPanel(QWidget* parent) : QWidget(parent)
{
    setFixedSize(kOctaves * 140 + 1, 60);
}

void TKeyboardPanel::Sound(int note)
{
    if (note == m_note)
        return;
    if (m_note >= 0 && noteOff)
        noteOff(m_note);
    m_note = note;
    if (m_note >= 0 && noteOn)
        noteOn(m_note);
    update();
}

void TKeyboardPanel::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    Sound(KeyboardNoteAt(at.x(), at.y(), height(), kBlackHeight, kOctaves));
}

void TKeyboardPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_note < 0)
        return;
    const QPoint at = event->position().toPoint();
    const int note = KeyboardNoteAt(at.x(), at.y(), height(), kBlackHeight, kOctaves);
    if (note >= 0)
        Sound(note);
}

void TKeyboardPanel::mouseReleaseEvent(QMouseEvent*)
{
    Sound(-1);
}

void TKeyboardPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor pressed(0xE8, 0xB7, 0x7A);
    static const int whiteSemitone[7] = {0, 2, 4, 5, 7, 9, 11};
    static const int blackLeft[5] = {12, 32, 72, 92, 112};
    static const int blackSemitone[5] = {1, 3, 6, 8, 10};
    for (int o = 0; o < kOctaves; ++o) {
        for (int k = 0; k < 7; ++k) {
            const QRect r(o * 140 + k * 20, 0, 20, height() - 1);
            p.fillRect(r, m_note == o * 12 + whiteSemitone[k] + 48 ? pressed : QColor(Qt::white));
            p.setPen(QColor(0x8A, 0x5A, 0x2B));
            p.drawRect(r);
        }
        for (int k = 0; k < 5; ++k)
            p.fillRect(QRect(o * 140 + blackLeft[k], 0, 12, kBlackHeight),
                       m_note == o * 12 + blackSemitone[k] + 48 ? QColor(0x8A, 0x5A, 0x2B) : QColor(0x20, 0x18, 0x10));
    }
}

} // namespace melodrift
