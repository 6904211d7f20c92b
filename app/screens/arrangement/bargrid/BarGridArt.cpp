#include "BarGridArt.h"

#include <QLinearGradient>
#include <QPainter>

namespace melodrift::bargrid {

namespace {

QPixmap PaintBackground()
{
    QPixmap pm(250, 90);
    pm.fill(QColor(0xFB, 0xF3, 0xE8));
    QPainter p(&pm);
    // Faint paper grain: a few soft diagonal strokes that tile seamlessly.
    p.setPen(QColor(0xF4, 0xE8, 0xD8));
    for (int k = -90; k < 250; k += 10)
        p.drawLine(k, 90, k + 90, 0);
    return pm;
}

QPixmap PaintTitle()
{
    QPixmap pm(119, 11);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, 11);
    g.setColorAt(0, QColor(0xF7, 0xDE, 0xBC));
    g.setColorAt(1, QColor(0xE6, 0xC0, 0x8E));
    p.fillRect(pm.rect(), g);
    p.setPen(QColor(0xC9, 0x9A, 0x63));
    p.drawLine(0, 10, 118, 10);
    return pm;
}

} // namespace

const QPixmap& CustomPanelBackground()
{
    static const QPixmap pm = PaintBackground();
    return pm;
}

const QPixmap& BarTitle()
{
    static const QPixmap pm = PaintTitle();
    return pm;
}

} // namespace melodrift::bargrid
