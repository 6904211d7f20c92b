#include "TBasePanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "Pipeline.h"
#include "SkinArt.h"
#include "SongModel.h"

namespace melodrift {

namespace {

constexpr int kAllAspects = 127;
const QColor kSlotFrame(0xE3, 0x18, 0x13);
const QColor kMarkerOutline(0xA4, 0x73, 0x46);

bool FourFour(const TSongModel& song)
{
    return song.metre == 0;
}

} // namespace

QColor TBasePanel::PatternColour(int pattern)
{
    static const QColor colours[4] = {QColor(0xFF, 0xF0, 0xC8), QColor(0xFC, 0xEC, 0xAE), QColor(0xF1, 0xCD, 0x8F),
                                      QColor(0xF2, 0xB9, 0x79)};
    return colours[std::clamp(pattern, 0, 3)];
}

TBasePanel::TBasePanel(TSongModel& song, QWidget* parent) : TShowBarsPanel(&song, parent)
{
    setMouseTracking(true);
}

TBasePanel::~TBasePanel() = default;

void TBasePanel::ReloadFromModel()
{
    SetBarCount(static_cast<int>(Model().bars.size()));
    m_slot = -1;
    m_splitPreview = -1;
    m_mergePreview = -1;
    RebuildMarkers();
    m_backup.TakeSnapshot(Model());
    update();
}

void TBasePanel::Revert()
{
    m_backup.Revert(Model());
    m_backup.ChangedAspects(Model(), kAllAspects);
    RebuildMarkers();
    update();
}

void TBasePanel::TakeSnapshot()
{
    m_backup.TakeSnapshot(Model());
}

int TBasePanel::ChangedAspects(int mask)
{
    return mask == 0 ? m_backup.Flags() : m_backup.ChangedAspects(Model(), mask);
}

void TBasePanel::Notify(int mask)
{
    emit barsChanged(m_backup.ChangedAspects(Model(), mask));
}

void TBasePanel::RebuildMarkers()
{
    for (TStageMarker* marker : m_markers)
        delete marker;
    m_markers.clear();
    for (size_t i = 0; i < Model().stages.size(); ++i) {
        auto* marker = new TStageMarker(*this, static_cast<int>(i));
        m_markers.push_back(marker);
    }
    LayoutChanged();
}

QString TBasePanel::MarkerHint(int stage) const
{
    const int pattern = Model().stages[static_cast<size_t>(stage)].pattern;
    return QStringLiteral("旋律") + QString::fromStdString(StageLetter(stage)) + QStringLiteral("段 (伴奏型%1)").arg(pattern + 1);
}

void TBasePanel::LayoutChanged()
{
    const BarGridLayout& layout = Layout();
    for (TStageMarker* marker : m_markers) {
        const auto& stage = Model().stages[static_cast<size_t>(marker->stage)];
        marker->setToolTip(MarkerHint(marker->stage));
        if (marker->stage == m_dragStage)
            continue;
        const int bar = stage.firstBar;
        const bool visible = bar < layout.BarCount() && layout.RowInView(layout.RowOf(bar));
        marker->setVisible(visible);
        if (visible)
            marker->move(layout.BarLeft(bar), layout.RowTop(bar) + 1);
        marker->update();
    }
}

void TBasePanel::GetBarTitle(int bar, QString& title)
{
    const int fill = bar < static_cast<int>(Model().bars.size()) ? Model().bars[static_cast<size_t>(bar)].fill : -1;
    if (fill < 0)
        return;
    title = title.leftJustified(6, QLatin1Char(' ')) + (fill == 0 ? QStringLiteral("加花-1") : QStringLiteral("加花-2"));
}

void TBasePanel::DrawContentBack(QPainter& p, int bar, int x, int y)
{
    const int stage = StageOfBar(bar);
    if (stage < 0)
        return;
    const auto& stages = Model().stages;
    const int w = M::kContentWidth, h = M::kContentHeight;
    if (m_dragStage >= 1 && (stage == m_dragStage || stage == m_dragStage - 1)) {
        const int k = m_dragStage;
        const QColor left = PatternColour(stages[static_cast<size_t>(k) - 1].pattern);
        const QColor right = PatternColour(stages[static_cast<size_t>(k)].pattern);
        p.fillRect(x, y, w, h, bar >= m_dragBar ? right : left);
    } else {
        bool white = false;
        if (m_splitPreview >= 0 && StageOfBar(m_splitPreview) == stage && bar >= m_splitPreview)
            white = true;
        if (m_mergePreview >= 1 && (stage == m_mergePreview || stage == m_mergePreview - 1))
            white = true;
        p.fillRect(x, y, w, h, white ? QColor(Qt::white) : PatternColour(stages[static_cast<size_t>(stage)].pattern));
    }
    if (m_slot >= 0 && m_slot / 2 == bar) {
        QRect frame(x, y, 119, h - 1);
        if (FourFour(Model()))
            frame = m_slot % 2 == 0 ? QRect(x, y, 59, h - 1) : QRect(x + 60, y, 59, h - 1);
        p.setPen(kSlotFrame);
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame);
        const QColor topLeft[3] = {QColor(110, 108, 105), QColor(140, 138, 135), QColor(170, 168, 165)};
        const QColor bottomRight[2] = {QColor(230, 226, 217), QColor(220, 216, 207)};
        for (int i = 0; i < 3; ++i) {
            p.setPen(topLeft[i]);
            p.drawLine(frame.left() + 1 + i, frame.top() + 1 + i, frame.right() - 1 - i, frame.top() + 1 + i);
            p.drawLine(frame.left() + 1 + i, frame.top() + 1 + i, frame.left() + 1 + i, frame.bottom() - 1 - i);
        }
        for (int i = 0; i < 2; ++i) {
            p.setPen(bottomRight[i]);
            p.drawLine(frame.left() + 1 + i, frame.bottom() - 1 - i, frame.right() - 1 - i, frame.bottom() - 1 - i);
            p.drawLine(frame.right() - 1 - i, frame.top() + 1 + i, frame.right() - 1 - i, frame.bottom() - 1 - i);
        }
    }
}

void TBasePanel::DrawContent(QPainter& p, int bar, int x, int y)
{
    if (bar >= static_cast<int>(Model().bars.size()))
        return;
    const auto& chords = Model().bars[static_cast<size_t>(bar)].chords;
    if (FourFour(Model())) {
        if (chords[0] >= 0)
            DrawChord(p, x + 10, y + 4, chords[0]);
        if (chords[1] >= 0)
            DrawChord(p, x + 70, y + 4, chords[1]);
    } else if (chords[0] >= 0) {
        DrawChord(p, x + 40, y + 4, chords[0]);
    }
}

void TBasePanel::DrawTopStrip(QPainter& p, int bar, int x, int y)
{
    (void)x;
    for (TStageMarker* marker : m_markers) {
        const int first = marker->stage == m_dragStage ? m_dragBar : Model().stages[static_cast<size_t>(marker->stage)].firstBar;
        if (first != bar)
            continue;
        p.setPen(skin::kInk);
        p.setFont(skin::SkinFont(10, true));
        p.drawText(QRect(marker->x() + 15, y + 1, 40, 12), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(StageLetter(marker->stage)));
    }
}

bool TBasePanel::SelectSlot(int bar, int half)
{
    const int slot = bar < 0 ? -1 : bar * 2 + half;
    if (slot == m_slot)
        return false;
    const int old = m_slot;
    m_slot = slot;
    if (old >= 0)
        RepaintBar(old / 2, 0, 119, kContentStripBit);
    if (slot >= 0)
        RepaintBar(slot / 2, 0, 119, kContentStripBit);
    return true;
}

ChordButtons TBasePanel::GetSelectedChord() const
{
    if (m_slot < 0 || m_slot / 2 >= static_cast<int>(Model().bars.size()))
        return {};
    return DecomposeChord(Model().bars[static_cast<size_t>(m_slot / 2)].chords[static_cast<size_t>(m_slot % 2)]);
}

void TBasePanel::SetSelectedChord(int button, int accidental, int quality)
{
    if (m_slot < 0 || m_slot / 2 >= static_cast<int>(Model().bars.size()))
        return;
    const int code = button > 6 ? -1 : ComposeChord({button, accidental, quality});
    Model().bars[static_cast<size_t>(m_slot / 2)].chords[static_cast<size_t>(m_slot % 2)] = static_cast<int8_t>(code);
    RepaintBar(m_slot / 2, 0, 119, kContentStripBit);
    Notify(kChangeChords);
}

void TBasePanel::ResetAllChords()
{
    for (tagMelodyBar& bar : Model().bars)
        bar.chords = {-1, -1};
    update();
    emit chordsReset();
    Notify(kChangeChords);
}

bool TBasePanel::AnyChord() const
{
    return std::any_of(Model().bars.begin(), Model().bars.end(),
                       [](const tagMelodyBar& b) { return b.chords[0] >= 0 || b.chords[1] >= 0; });
}

void TBasePanel::SetKey(int key)
{
    Model().key = key;
    update();
    Notify(kChangeKey);
}

void TBasePanel::SetStagePattern(int stage, int pattern)
{
    if (stage < 0 || stage >= static_cast<int>(Model().stages.size()))
        return;
    Model().stages[static_cast<size_t>(stage)].pattern = std::clamp(pattern, 0, 3);
    if (stage < MarkerCount())
        Marker(stage)->update();
    LayoutChanged();
    update();
    Notify(kChangePatterns);
}

void TBasePanel::SetBarFill(int bar, int fill)
{
    if (bar < 0 || bar >= static_cast<int>(Model().bars.size()))
        return;
    Model().bars[static_cast<size_t>(bar)].fill = static_cast<int8_t>(fill < 0 ? -1 : std::min(fill, 1));
    RepaintBar(bar, 0, 119, kTitleStripBit);
    Notify(kChangeFills);
}

int TBasePanel::StageOfBar(int bar) const
{
    return melodrift::StageOfBar(Model(), bar);
}

bool TBasePanel::StageTool(int candidate, int& previewed, bool preview, bool (*apply)(TSongModel&, int))
{
    if (preview) {
        if (candidate != previewed) {
            previewed = candidate;
            update();
        }
        return candidate >= 0;
    }
    previewed = -1;
    if (candidate < 0 || !apply(Model(), candidate)) {
        update();
        return false;
    }
    RebuildMarkers();
    update();
    Notify(kChangeStageCount | kChangeStageBounds);
    return true;
}

bool TBasePanel::Split(int bar, int offset, bool preview)
{
    return StageTool(bar < 0 ? -1 : SplitPoint(Model(), bar, offset), m_splitPreview, preview, ApplySplit);
}

bool TBasePanel::Merge(int bar, int offset, bool preview)
{
    return StageTool(bar < 0 ? -1 : MergeBoundary(Model(), bar, offset), m_mergePreview, preview, ApplyMerge);
}

bool TBasePanel::DropMarker(int stage, int bar)
{
    m_dragStage = -1;
    const bool moved = MoveBoundary(Model(), stage, bar);
    LayoutChanged();
    update();
    if (moved)
        Notify(kChangeStageBounds);
    return moved;
}

void TBasePanel::mousePressEvent(QMouseEvent* event)
{
    emit viewPressed(event, false);
}

void TBasePanel::mouseMoveEvent(QMouseEvent* event)
{
    emit viewMoved(event);
}

TStageMarker::TStageMarker(TBasePanel& view, int index) : QWidget(&view), stage(index), m_view(view)
{
    resize(12, 12);
    setAttribute(Qt::WA_TranslucentBackground);
    if (stage >= 1)
        setCursor(Qt::SizeHorCursor);
    show();
}

void TStageMarker::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const auto& stages = m_view.Model().stages;
    const int pattern = stage < static_cast<int>(stages.size()) ? stages[static_cast<size_t>(stage)].pattern : 0;
    p.setBrush(TBasePanel::PatternColour(pattern));
    p.setPen(kMarkerOutline);
    p.drawPolygon(QPolygonF({QPointF(0.5, 0.5), QPointF(0.5, 11.5), QPointF(11.5, 0.5)}));
}

void TStageMarker::mousePressEvent(QMouseEvent* event)
{
    // The screen sees the press first (a right press opens the pattern menu).
    QMouseEvent viewEvent(event->type(), mapTo(&m_view, event->position().toPoint()),
                          event->globalPosition(), event->button(), event->buttons(), event->modifiers());
    emit m_view.viewPressed(&viewEvent, true);
    if (event->button() != Qt::LeftButton || stage < 1)
        return;
    m_dragging = true;
    m_grab = event->position().toPoint().x();
    m_view.m_dragStage = stage;
    m_view.m_dragBar = m_view.Model().stages[static_cast<size_t>(stage)].firstBar;
    setToolTip({});
}

void TStageMarker::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    const QPoint inView = mapTo(&m_view, event->position().toPoint());
    const BarHit hit = m_view.HitTest(inView.x() - m_grab, y() + 6, false, true);
    if (hit.bar < 0)
        return;
    // Both stages keep at least one bar.
    const auto& stages = m_view.Model().stages;
    const int low = stages[static_cast<size_t>(stage) - 1].firstBar + 1;
    const int high = stages[static_cast<size_t>(stage)].lastBar;
    const int bar = std::clamp(hit.bar + (hit.offset >= 60 ? 1 : 0), low, high);
    const BarGridLayout& layout = m_view.Layout();
    move(std::clamp(inView.x() - m_grab, layout.BarLeft(low), layout.BarLeft(high)), layout.RowTop(bar) + 1);
    if (bar != m_view.m_dragBar) {
        m_view.m_dragBar = bar;
        m_view.update();
    }
}

void TStageMarker::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    m_view.DropMarker(stage, m_view.m_dragBar);
}

} // namespace melodrift
