#include "TShowBarsPanel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <map>

#include "BarGridArt.h"
#include "ChordLabel.h"
#include "SkinArt.h"
#include "SongModel.h"
#include "TSkinScrollBar.h"

namespace melodrift {

namespace {

const QColor kGridLine(0xA4, 0x73, 0x46);
const QColor kCursor(0xFF, 0x00, 0x00);

constexpr int kScrollBarWidth = 16;

// Point sizes of the labels at the screen's 96 dots an inch, as pixels so
// the label looks the same whatever the platform reports.
int PointPixels(int points) { return (points * 96 + 36) / 72; }

QFont MakeLabelFont(const ChordGlyph& g)
{
    QFont f;
    f.setFamilies(g.roman ? QStringList{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}
                          : QStringList{QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                                        QStringLiteral("DejaVu Serif")});
    f.setPixelSize(PointPixels(g.pointSize));
    f.setBold(g.bold);
    f.setItalic(g.italic);
    return f;
}

// Labels use a handful of faces; building a font for every piece of every
// label costs more than drawing it on a long song.
const QFont& LabelFont(const ChordGlyph& g)
{
    static std::map<int, QFont> cache;
    const int key = (g.roman ? 1 : 0) | (g.bold ? 2 : 0) | (g.italic ? 4 : 0) | (g.pointSize << 3);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, MakeLabelFont(g)).first;
    return it->second;
}

} // namespace

TShowBarsPanel::TShowBarsPanel(TSongModel* song, QWidget* parent)
    : QWidget(parent), m_song(song), m_scrollBar(new TSkinScrollBar(this))
{
    setFont(skin::SkinFont(PointPixels(8)));
    m_scrollBar->setSingleStep(1);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int v) { SetFirstRow(v, false); });
    m_layout.Resize(width(), height(), false);
}

TShowBarsPanel::~TShowBarsPanel() = default;

void TShowBarsPanel::SyncScrollBar()
{
    const QSignalBlocker block(m_scrollBar);
    if (m_layout.BarCount() > 0 && m_layout.NeedsScrollBar()) {
        // Qt's maximum is the largest position; the page is the thumb.
        m_scrollBar->setRange(0, m_layout.LargestFirstRow());
        m_scrollBar->setPageStep(m_layout.VisibleRows());
        m_scrollBar->setValue(m_layout.FirstRow());
        m_scrollBar->show();
    } else {
        m_scrollBar->setRange(0, 0);
        m_scrollBar->hide();
    }
    m_scrollBar->setGeometry(width() - 1 - kScrollBarWidth, 1, kScrollBarWidth, std::max(0, height() - 2));
}

void TShowBarsPanel::Relayout()
{
    m_layout.Resize(width(), height(), m_playing);
    SyncScrollBar();
    LayoutChanged();
    update();
}

void TShowBarsPanel::EnsureLayout()
{
    if (m_layout.ClientWidth() != width() || m_layout.ClientHeight() != height())
        Relayout();
}

BarHit TShowBarsPanel::HitTest(int x, int y, bool snap, bool clamp)
{
    EnsureLayout();
    return m_layout.HitTest(x, y, snap, clamp);
}

void TShowBarsPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Relayout();
}

void TShowBarsPanel::SetBarCount(int n)
{
    EnsureLayout();
    m_layout.SetBarCount(n);
    SyncScrollBar();
    LayoutChanged();
    update();
}

void TShowBarsPanel::SetFirstRow(int row, bool updateScrollBar)
{
    EnsureLayout();
    if (!m_layout.SetFirstRow(row))
        return;
    if (updateScrollBar) {
        const QSignalBlocker block(m_scrollBar);
        m_scrollBar->setValue(row);
    }
    LayoutChanged();
    update();
}

void TShowBarsPanel::RepaintRect(const BarRect& r)
{
    if (r.w > 0 && r.h > 0)
        update(r.x, r.y, r.w, r.h);
}

void TShowBarsPanel::SetCursor(int bar, int offset)
{
    EnsureLayout();
    RepaintRect(m_layout.CursorLine(m_layout.CursorBar(), m_layout.CursorOffset()));
    if (m_layout.MoveCursor(bar, offset)) {
        const QSignalBlocker block(m_scrollBar);
        m_scrollBar->setValue(m_layout.FirstRow());
        LayoutChanged();
        update();
        return;
    }
    RepaintRect(m_layout.CursorLine(m_layout.CursorBar(), m_layout.CursorOffset()));
}

void TShowBarsPanel::RepaintBar(int bar, int xFrom, int xTo, int zones)
{
    EnsureLayout();
    RepaintRect(m_layout.StripRect(bar, xFrom, xTo, zones));
}

void TShowBarsPanel::ScrollBy(ScrollAction action)
{
    SetFirstRow(m_layout.ScrollTarget(action), true);
}

void TShowBarsPanel::wheelEvent(QWheelEvent* event)
{
    if (m_scrollBar->isHidden()) {
        event->ignore();
        return;
    }
    ScrollBy(event->angleDelta().y() <= 0 ? ScrollAction::LineDown : ScrollAction::LineUp);
    event->accept();
}

void TShowBarsPanel::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect dirty = event->rect();
    p.drawTiledPixmap(dirty, bargrid::CustomPanelBackground(), dirty.topLeft());
    p.setPen(kGridLine);
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    const BarGridLayout& L = m_layout;
    const int bpr = L.BarsPerRow();
    const QPixmap& titlePic = bargrid::BarTitle();
    for (int row = L.FirstRow(), drawn = 0; row < L.TotalRows() && drawn < L.VisibleRows(); ++row, ++drawn) {
        const int y = drawn * M::kRowHeight + M::kTopMargin;
        const int t = y + M::kTopHeight;
        if (y > dirty.bottom() || y + M::kRowHeight < dirty.top())
            continue;
        p.setPen(kGridLine);
        p.drawLine(L.LeftOffset(), t, L.LeftOffset(), t + 41);
        const int firstBar = row * bpr;
        const int endBar = std::min(L.BarCount(), firstBar + bpr);
        for (int bar = firstBar; bar < endBar; ++bar) {
            const int x = L.BarLeft(bar);
            if (x > dirty.right() || x + M::kBarWidth < dirty.left())
                continue;
            p.drawPixmap(x + 1, t, titlePic);
            QString title = QString::number(bar + 1);
            GetBarTitle(bar, title);
            p.setPen(skin::kInk);
            p.drawText(QRect(x + 8, t + 1, M::kBarWidth - 9, M::kTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       title);
            DrawContentBack(p, bar, x + 1, t + M::kTitleHeight);
            p.setPen(kGridLine);
            p.drawLine(x + M::kBarWidth, t, x + M::kBarWidth, t + 41);
            DrawContent(p, bar, x, t + M::kTitleHeight);
            if (bar == L.CursorBar()) {
                p.setPen(kCursor);
                p.drawLine(x + L.CursorOffset(), t, x + L.CursorOffset(), t + 41);
                p.setPen(kGridLine);
            }
            DrawTopStrip(p, bar, x, y);
            p.setPen(kGridLine);
        }
        p.drawLine(L.LeftOffset(), y + M::kRowHeight, L.RowLineEnd(row), y + M::kRowHeight);
    }
}

void TShowBarsPanel::DrawChord(QPainter& p, int left, int top, int code)
{
    if (code < 0)
        return;
    const int key = m_song ? m_song->key : 0;
    const bool letters = m_song ? m_song->Flag(kFlagChordLetters) : true;
    // A long song repeats few labels: each is drawn once into a picture.
    static std::map<int, QPixmap> cache;
    constexpr int kMargin = 4;
    const int id = (code & 0xFF) | ((key + 1) << 8) | (letters ? 1 << 16 : 0);
    auto it = cache.find(id);
    if (it == cache.end()) {
        const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        QPixmap picture(QSize(64, 36) * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter q(&picture);
        q.setRenderHints(p.renderHints() | QPainter::TextAntialiasing);
        q.setPen(skin::kInk);
        for (const ChordGlyph& g : ChordLabelGlyphs(kMargin, kMargin, code, key, letters)) {
            q.setFont(LabelFont(g));
            q.drawText(QRect(g.x, g.y, 60, 32), Qt::AlignLeft | Qt::AlignTop, g.text);
        }
        q.end();
        it = cache.emplace(id, std::move(picture)).first;
    }
    p.drawPixmap(left - kMargin, top - kMargin, it->second);
}

} // namespace melodrift
