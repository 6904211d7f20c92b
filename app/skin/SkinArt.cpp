#include "SkinArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace melodrift::skin {

QFont SkinFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

namespace {

struct FrameLook {
    QColor top, bottom, border, text;
};

FrameLook LookOf(int frame)
{
    switch (frame) {
    case 1: return {QColor(0xFF, 0xE9, 0xC9), QColor(0xE8, 0xB7, 0x7A), QColor(0x8A, 0x5A, 0x2B), kInk};
    case 2: return {QColor(0xC9, 0x8F, 0x52), QColor(0xE2, 0xB0, 0x76), QColor(0x5E, 0x3C, 0x1A), QColor(Qt::white)};
    case 3: return {QColor(0xE4, 0xE0, 0xDA), QColor(0xCF, 0xCA, 0xC3), QColor(0xA8, 0xA2, 0x9A), QColor(0x99, 0x93, 0x8C)};
    default: return {QColor(0xFA, 0xE3, 0xC4), QColor(0xDB, 0xA6, 0x69), QColor(0x8A, 0x5A, 0x2B), kInk};
    }
}

void DrawGlyph(QPainter& p, const QRectF& r, Glyph glyph, const QColor& ink)
{
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF c = r.center();
    const qreal s = std::min(r.width(), r.height()) * 0.28;
    switch (glyph) {
    case Glyph::Menu:
        for (int i = -1; i <= 1; ++i)
            p.drawLine(QPointF(c.x() - s, c.y() + i * s * 0.7), QPointF(c.x() + s, c.y() + i * s * 0.7));
        break;
    case Glyph::Minimise: p.drawLine(QPointF(c.x() - s, c.y() + s * 0.6), QPointF(c.x() + s, c.y() + s * 0.6)); break;
    case Glyph::Maximise: p.drawRect(QRectF(c.x() - s, c.y() - s, 2 * s, 2 * s)); break;
    case Glyph::Restore:
        p.drawRect(QRectF(c.x() - s, c.y() - s * 0.4, s * 1.4, s * 1.4));
        p.drawPolyline(QPolygonF({QPointF(c.x() - s * 0.4, c.y() - s * 0.4), QPointF(c.x() - s * 0.4, c.y() - s),
                                  QPointF(c.x() + s, c.y() - s), QPointF(c.x() + s, c.y() + s * 0.4),
                                  QPointF(c.x() + s * 0.4, c.y() + s * 0.4)}));
        break;
    case Glyph::Close:
    case Glyph::Cancel:
        p.drawLine(QPointF(c.x() - s, c.y() - s), QPointF(c.x() + s, c.y() + s));
        p.drawLine(QPointF(c.x() + s, c.y() - s), QPointF(c.x() - s, c.y() + s));
        break;
    case Glyph::Help:
        p.setFont(SkinFont(int(s * 2.6), true));
        p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
        break;
    case Glyph::User:
        p.drawEllipse(QPointF(c.x(), c.y() - s * 0.5), s * 0.55, s * 0.55);
        p.drawArc(QRectF(c.x() - s, c.y() + s * 0.1, 2 * s, 2 * s), 0, 180 * 16);
        break;
    case Glyph::None: break;
    }
}

} // namespace

QPixmap ButtonStrip(int w, int h, int frames, const QString& caption, Glyph glyph)
{
    QPixmap strip(w * frames, h);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < frames; ++f) {
        const FrameLook look = LookOf(f);
        const QRectF r(f * w + 0.5, 0.5, w - 1.0, h - 1.0);
        QLinearGradient fill(r.topLeft(), r.bottomLeft());
        fill.setColorAt(0, look.top);
        fill.setColorAt(1, look.bottom);
        p.setPen(QPen(look.border, 1));
        p.setBrush(fill);
        p.drawRoundedRect(r, std::min(6.0, h / 2.0), std::min(6.0, h / 2.0));
        if (glyph != Glyph::None) {
            DrawGlyph(p, r, glyph, look.text);
        } else {
            p.setPen(look.text);
            p.setFont(SkinFont(std::max(10, h / 2 - 1)));
            p.drawText(r, Qt::AlignCenter, caption);
        }
    }
    return strip;
}

QPixmap StepStrip(int number, int d)
{
    QPixmap strip(d * 4, d);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < 4; ++f) {
        const FrameLook look = LookOf(f);
        const QRectF r(f * d + 1.0, 1.0, d - 2.0, d - 2.0);
        QLinearGradient fill(r.topLeft(), r.bottomLeft());
        fill.setColorAt(0, look.top);
        fill.setColorAt(1, look.bottom);
        p.setPen(QPen(look.border, 1.5));
        p.setBrush(fill);
        p.drawEllipse(r);
        p.setPen(look.text);
        p.setFont(SkinFont(d / 2, true));
        p.drawText(r, Qt::AlignCenter, QString::number(number));
    }
    return strip;
}

QPixmap BandPicture(int width, int height)
{
    QPixmap band(width, height);
    QPainter p(&band);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, QColor(0xF6, 0xDE, 0xBE));
    fill.setColorAt(0.27, QColor(0xEC, 0xC8, 0x98));
    fill.setColorAt(1, QColor(0xD2, 0x9A, 0x5C));
    p.fillRect(band.rect(), fill);
    p.setRenderHint(QPainter::Antialiasing);
    // A faint stave across the band.
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int i = 0; i < 5; ++i)
        p.drawLine(0, 34 + i * 7, width, 30 + i * 7);
    p.setPen(QPen(QColor(0x8A, 0x5A, 0x2B), 1));
    p.drawLine(0, height - 1, width, height - 1);
    return band;
}

QPixmap StepTrack(int width, int height)
{
    QPixmap track(width, height);
    track.fill(Qt::transparent);
    QPainter p(&track);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x8A, 0x5A, 0x2B, 110));
    p.drawRoundedRect(QRectF(0, height / 2.0 - 3, width, 6), 3, 3);
    return track;
}

QPixmap NoticeBadge(int size)
{
    QPixmap badge(size * 2, size);
    badge.fill(Qt::transparent);
    QPainter p(&badge);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fills[2] = {QColor(0xD9, 0x3A, 0x2B), QColor(0xF0, 0x55, 0x3C)};
    for (int half = 0; half < 2; ++half) {
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(fills[half]);
        p.drawEllipse(QRectF(half * size + 1, 1, size - 2, size - 2));
    }
    return badge;
}

QPixmap SplashPicture(const QString& version)
{
    QPixmap splash(420, 240);
    QPainter p(&splash);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 240);
    fill.setColorAt(0, QColor(0xF6, 0xDE, 0xBE));
    fill.setColorAt(1, QColor(0xC8, 0x92, 0x5A));
    p.fillRect(splash.rect(), fill);
    p.setPen(QPen(QColor(255, 255, 255, 140), 3, Qt::SolidLine, Qt::RoundCap));
    QPainterPath wave(QPointF(20, 170));
    wave.cubicTo(120, 110, 200, 220, 300, 150);
    wave.cubicTo(350, 120, 380, 130, 400, 140);
    p.drawPath(wave);
    p.setPen(kInk);
    p.setFont(SkinFont(40, true));
    p.drawText(QRect(0, 50, 420, 60), Qt::AlignCenter, QStringLiteral("Melodrift"));
    p.setFont(SkinFont(16));
    p.drawText(QRect(0, 110, 420, 30), Qt::AlignCenter, QStringLiteral("哼一段旋律，写一首歌"));
    p.setFont(SkinFont(12));
    p.drawText(QRect(0, 205, 410, 24), Qt::AlignRight | Qt::AlignVCenter, version);
    return splash;
}

QPixmap DialogBackground(int width, int height)
{
    QPixmap bg(width, height);
    QPainter p(&bg);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, QColor(0xEC, 0xC8, 0x98));
    fill.setColorAt(24.0 / height, QColor(0xEC, 0xC8, 0x98));
    fill.setColorAt(24.0 / height + 0.001, kPaper);
    fill.setColorAt(1, QColor(0xF3, 0xE4, 0xD0));
    p.fillRect(bg.rect(), fill);
    p.setPen(QColor(0x8A, 0x5A, 0x2B));
    p.drawRect(0, 0, width - 1, height - 1);
    return bg;
}

QPixmap MessageIcon(int kind, int size)
{
    QPixmap icon(size, size);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = kind == 0x10 ? QColor(0xD9, 0x3A, 0x2B) : kind == 0x20 ? QColor(0x2F, 0x7C, 0xC8) : QColor(0x3A, 0x9A, 0x4F);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    p.setPen(Qt::white);
    p.setFont(SkinFont(size * 2 / 3, true));
    p.drawText(icon.rect(), Qt::AlignCenter, kind == 0x10 ? QStringLiteral("!") : kind == 0x20 ? QStringLiteral("?") : QStringLiteral("i"));
    return icon;
}

QPixmap PageBackground(int width, int height)
{
    QPixmap bg(width, height);
    QPainter p(&bg);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, kPaper);
    fill.setColorAt(1, QColor(0xF1, 0xE2, 0xCC));
    p.fillRect(bg.rect(), fill);
    return bg;
}

} // namespace melodrift::skin
