#include "FinishArt.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace melodrift::finishart {

namespace {

QPixmap CheckBox(bool checked)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x8A, 0x5A, 0x2B), 1));
    p.setBrush(QColor(0xFF, 0xFB, 0xF4));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
    if (checked) {
        QPainterPath tick;
        tick.moveTo(4, 8);
        tick.lineTo(7, 11);
        tick.lineTo(12, 4.5);
        p.setPen(QPen(QColor(0x3C, 0x2B, 0x17), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    return pm;
}

QPixmap Tile(bool done)
{
    QPixmap pm(10, 19);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, 19);
    if (done) {
        g.setColorAt(0, QColor(0xF6, 0xC0, 0x6A));
        g.setColorAt(1, QColor(0xC9, 0x7A, 0x22));
    } else {
        g.setColorAt(0, QColor(0xF3, 0xE7, 0xD6));
        g.setColorAt(1, QColor(0xE0, 0xCF, 0xB8));
    }
    p.fillRect(pm.rect(), g);
    p.setPen(done ? QColor(0xB8, 0x6C, 0x1C) : QColor(0xD6, 0xC3, 0xAA));
    p.drawLine(9, 0, 9, 18);
    return pm;
}

} // namespace

QPixmap Picture(const QString& name)
{
    if (name == QLatin1String("BmpChecked"))
        return CheckBox(true);
    if (name == QLatin1String("BmpUnchecked"))
        return CheckBox(false);
    if (name == QLatin1String("ProgressLeft"))
        return Tile(true);
    if (name == QLatin1String("ProgressRight"))
        return Tile(false);
    return {};
}

void RoundCorners(QWidget* dialog, int width, int height, qreal radius)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width, height), radius, radius);
    dialog->setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

} // namespace melodrift::finishart
