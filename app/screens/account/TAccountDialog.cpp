#include "TAccountDialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include "SkinArt.h"
#include "TPNGButton.h"

namespace melodrift {

TAccountDialog::TAccountDialog(const QString& title, QSize size, int cornerRadius, QWidget* parent)
    : QDialog(parent), m_radius(cornerRadius)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle(title);
    setFixedSize(size);
    m_btnClose = new TPNGButton(this);
    m_btnClose->SetPngImg(skin::ButtonStrip(18, 18, 4, {}, skin::Glyph::Close));
    m_btnClose->move(size.width() - 24, 3);
    connect(m_btnClose, &TPNGButton::clicked, this, &QDialog::reject);
}

void TAccountDialog::SetDragStrip(int dragHeight, int left, int right)
{
    m_dragHeight = dragHeight;
    m_dragLeft = left;
    m_dragRight = right;
}

bool TAccountDialog::InDragStrip(QPoint at) const
{
    return at.y() >= 0 && at.y() < m_dragHeight && at.x() > m_dragLeft && at.x() < width() - m_dragRight;
}

void TAccountDialog::CentreOverOwner()
{
    QRect area;
    if (QWidget* owner = parentWidget())
        area = owner->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void TAccountDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, skin::DialogBackground(width(), height()));
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(12, true));
    p.drawText(QRect(12, 2, width() - 60, 20), Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
}

void TAccountDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && InDragStrip(event->position().toPoint()) && windowHandle())
        windowHandle()->startSystemMove();
}

void TAccountDialog::resizeEvent(QResizeEvent*)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), m_radius, m_radius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void TAccountDialog::showEvent(QShowEvent* event)
{
    CentreOverOwner();
    QDialog::showEvent(event);
}

} // namespace melodrift
