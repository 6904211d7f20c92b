#include "TPNGButton.h"

#include <QDialog>
#include <QMouseEvent>
#include <QPainter>

namespace melodrift {

TPNGButton::TPNGButton(QWidget* parent) : QWidget(parent)
{
    setFixedSize(75, 25);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TPNGButton::SetPngImg(const QPixmap& strip)
{
    m_strip = strip.copy();
    if (!m_strip.isNull())
        setFixedSize(m_strip.width() / m_states, m_strip.height());
    m_state = 0;
    update();
}

void TPNGButton::SetImgStates(int states)
{
    m_states = std::clamp(states, 2, 4);
    if (!m_strip.isNull())
        setFixedSize(m_strip.width() / m_states, m_strip.height());
    update();
}

void TPNGButton::SetDown(bool down)
{
    if (down == m_down)
        return;
    if (m_states < 3)
        down = false;
    m_down = down;
    if (!down)
        m_state = 0;
    update();
}

void TPNGButton::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    // Without a disabled frame a button could not show that it is disabled.
    m_enabled = m_states <= 3 ? true : enabled;
    m_state = m_enabled ? 0 : 3;
    update();
}

int TPNGButton::PaintedFrame() const
{
    int state = m_state;
    if (m_down)
        state = 2;
    if (!m_enabled)
        state = 3;
    return std::min(state, m_states - 1);
}

void TPNGButton::paintEvent(QPaintEvent*)
{
    if (m_strip.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(-PaintedFrame() * width(), 0, m_strip);
}

void TPNGButton::enterEvent(QEnterEvent*)
{
    if (!m_enabled)
        return;
    m_state = 1;
    update();
    emit mouseEntered();
}

void TPNGButton::leaveEvent(QEvent*)
{
    if (!m_enabled)
        return;
    m_state = 0;
    update();
    emit mouseLeft();
}

void TPNGButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_enabled)
        return;
    m_pressed = true;
    if (m_states >= 3) {
        m_state = 2;
        update();
    }
}

void TPNGButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_enabled)
        return;
    const QPoint at = event->position().toPoint();
    const bool inside = at.x() >= 0 && at.x() < width() && at.y() >= 0 && at.y() < height();
    m_state = inside ? 1 : 0;
    update();
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (inside && wasPressed)
        Click();
}

void TPNGButton::Click()
{
    if (m_modalResult != 0)
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(m_modalResult);
    emit clicked();
}

} // namespace melodrift
