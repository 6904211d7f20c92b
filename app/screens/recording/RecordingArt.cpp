#include "RecordingArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <map>

#include "SkinArt.h"

namespace melodrift::recording {

namespace {

const QColor kBrown(0xA4, 0x73, 0x46);

QPixmap Blank(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

QPixmap PaintPointer(bool hover)
{
    QPixmap pm = Blank(53, 126);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath needle;
    needle.moveTo(26.5, 4);
    needle.lineTo(36, 100);
    needle.lineTo(17, 100);
    needle.closeSubpath();
    QLinearGradient g(17, 0, 36, 0);
    g.setColorAt(0, hover ? QColor(0xF0, 0x6A, 0x3A) : QColor(0xC8, 0x4A, 0x22));
    g.setColorAt(1, hover ? QColor(0xFF, 0xA0, 0x70) : QColor(0xE8, 0x7A, 0x4A));
    p.fillPath(needle, g);
    p.setPen(QPen(QColor(0x6E, 0x2A, 0x10), 1));
    p.drawPath(needle);
    return pm;
}

QPixmap PaintTapPad(int state)
{
    QPixmap pm = Blank(74, 74);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(37, state == 2 ? 40 : 32, 40);
    const QColor top = state == 2 ? QColor(0xC9, 0x8F, 0x52) : state == 1 ? QColor(0xFF, 0xE9, 0xC9) : QColor(0xFA, 0xE3, 0xC4);
    g.setColorAt(0, top);
    g.setColorAt(1, state == 2 ? QColor(0xA8, 0x70, 0x38) : QColor(0xDB, 0xA6, 0x69));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x8A, 0x5A, 0x2B), 2));
    p.drawEllipse(QRectF(2, 2, 70, 70));
    p.setPen(state == 2 ? QColor(Qt::white) : skin::kInk);
    p.setFont(skin::SkinFont(18, true));
    p.drawText(QRect(0, 0, 74, 74), Qt::AlignCenter, QStringLiteral("Tap"));
    return pm;
}

QColor CategoryColour(int category)
{
    static const std::array<QColor, 10> colours = {
        QColor(0x3A, 0x6E, 0xA5), QColor(0x5A, 0x8F, 0x3C), QColor(0x9E, 0x2B, 0x25), QColor(0x8E, 0x3F, 0xA0),
        QColor(0x2E, 0x7D, 0x7A), QColor(0x3B, 0x4A, 0x8C), QColor(0xC0, 0x6A, 0x1E), QColor(0x6B, 0x55, 0x3A),
        QColor(0xB0, 0x8A, 0x1E), QColor(0x55, 0x55, 0x5E)};
    return colours[static_cast<size_t>(std::clamp(category, 0, 9))];
}

QPixmap PaintDisk(int category, bool selected)
{
    QPixmap pm = Blank(120, 120);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(60, 60, 58);
    g.setColorAt(0, QColor(0x30, 0x30, 0x30));
    g.setColorAt(0.35, selected ? CategoryColour(category).lighter(130) : CategoryColour(category));
    g.setColorAt(0.36, QColor(0x1A, 0x1A, 0x1A));
    g.setColorAt(1, QColor(0x0E, 0x0E, 0x0E));
    p.setBrush(g);
    p.setPen(QPen(selected ? QColor(0xFF, 0xD0, 0x80) : QColor(0x40, 0x40, 0x40), selected ? 2.5 : 1));
    p.drawEllipse(QRectF(2, 2, 116, 116));
    p.setPen(QPen(QColor(0x3A, 0x3A, 0x3A), 0.7));
    p.setBrush(Qt::NoBrush);
    for (int r = 26; r < 56; r += 5)
        p.drawEllipse(QPointF(60, 60), r, r);
    p.setBrush(QColor(0xF5, 0xEE, 0xE0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(60, 60), 4, 4);
    return pm;
}

QPixmap PaintCover()
{
    QPixmap pm = Blank(124, 124);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 124, 124);
    g.setColorAt(0, QColor(0xF6, 0xE2, 0xC2));
    g.setColorAt(1, QColor(0xD9, 0xA8, 0x6C));
    p.setBrush(g);
    p.setPen(QPen(kBrown, 1.5));
    p.drawRoundedRect(QRectF(1, 1, 110, 118), 4, 4);
    p.setPen(QPen(QColor(0xB8, 0x84, 0x50), 1));
    p.drawEllipse(QRectF(20, 22, 72, 72));
    p.setFont(skin::SkinFont(14, true));
    p.setPen(skin::kInk);
    p.drawText(QRect(1, 1, 110, 118), Qt::AlignCenter, QStringLiteral("♪"));
    return pm;
}

QPixmap PaintNotice(int beatsToGo)
{
    QPixmap pm = Blank(160, 90);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xFF, 0xF8, 0xEC, 235));
    p.setPen(QPen(kBrown, 2));
    p.drawRoundedRect(QRectF(1, 1, 158, 88), 10, 10);
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(14));
    p.drawText(QRect(0, 6, 160, 20), Qt::AlignCenter, QStringLiteral("预备"));
    p.setFont(skin::SkinFont(44, true));
    p.setPen(beatsToGo == 0 ? QColor(0xD7, 0x4E, 0x02) : skin::kInk);
    p.drawText(QRect(0, 26, 160, 60), Qt::AlignCenter,
               beatsToGo == 0 ? QStringLiteral("唱!") : QString::number(beatsToGo));
    return pm;
}

QPixmap PaintMarker(bool begin)
{
    QPixmap pm = Blank(12, 14);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath flag;
    if (begin) {
        flag.moveTo(0, 0);
        flag.lineTo(12, 0);
        flag.lineTo(0, 12);
    } else {
        flag.moveTo(12, 0);
        flag.lineTo(0, 0);
        flag.lineTo(12, 12);
    }
    flag.closeSubpath();
    p.fillPath(flag, begin ? QColor(0x2E, 0x9A, 0x3C) : QColor(0xD7, 0x4E, 0x02));
    p.setPen(QPen(QColor(0x3C, 0x2B, 0x17), 1));
    p.drawPath(flag);
    return pm;
}

} // namespace

QPixmap SetupBackground(int width, int height)
{
    return skin::PageBackground(width, height);
}

const QPixmap& DialPointer(bool hover)
{
    static const QPixmap normal = PaintPointer(false), lit = PaintPointer(true);
    return hover ? lit : normal;
}

const QPixmap& TapPad(int state)
{
    static const std::array<QPixmap, 3> pads = {PaintTapPad(0), PaintTapPad(1), PaintTapPad(2)};
    return pads[static_cast<size_t>(std::clamp(state, 0, 2))];
}

const QPixmap& DiskPicture(int category, bool selected)
{
    static std::map<int, QPixmap> cache;
    const int k = std::clamp(category, 0, 9) * 2 + (selected ? 1 : 0);
    auto it = cache.find(k);
    if (it == cache.end())
        it = cache.emplace(k, PaintDisk(std::clamp(category, 0, 9), selected)).first;
    return it->second;
}

const QPixmap& DiskCover()
{
    static const QPixmap cover = PaintCover();
    return cover;
}

const QPixmap& NoticeImage(int beatsToGo)
{
    static const std::array<QPixmap, 4> notices = {PaintNotice(0), PaintNotice(1), PaintNotice(2), PaintNotice(3)};
    return notices[static_cast<size_t>(std::clamp(beatsToGo, 0, 3))];
}

const QPixmap& RecordMarker(bool begin)
{
    static const QPixmap b = PaintMarker(true), e = PaintMarker(false);
    return begin ? b : e;
}

} // namespace melodrift::recording
