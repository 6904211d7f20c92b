#pragma once

// The bar view of the base accompaniment step: chord labels per slot, fills
// in the bar titles, stage colours and markers, and the editing operations
// the screen calls. It edits the song model and reports every edit with the
// change tracker's flags; it never calls the composer or the engine.

#include <QPointer>
#include <vector>

#include "BaseEdits.h"
#include "TMelodyBackup.h"
#include "TShowBarsPanel.h"

namespace melodrift {

class TStageMarker;

class TBasePanel : public TShowBarsPanel {
    Q_OBJECT
public:
    explicit TBasePanel(TSongModel& song, QWidget* parent = nullptr);
    ~TBasePanel() override;

    void ReloadFromModel();
    void Revert();
    void TakeSnapshot();
    int ChangedAspects(int mask);

    bool SelectSlot(int bar, int half);
    int SelectedSlot() const { return m_slot; }
    ChordButtons GetSelectedChord() const;
    // button > 6 clears the slot.
    void SetSelectedChord(int button, int accidental, int quality);
    void ResetAllChords();
    bool AnyChord() const;
    void SetKey(int key);
    void SetStagePattern(int stage, int pattern);
    void SetBarFill(int bar, int fill);
    bool Split(int bar, int offset, bool preview);
    bool Merge(int bar, int offset, bool preview);
    int StageOfBar(int bar) const;
    // The marker drag ends by committing the boundary at a bar.
    bool DropMarker(int stage, int bar);

    int MarkerCount() const { return static_cast<int>(m_markers.size()); }
    TStageMarker* Marker(int stage) const { return m_markers[static_cast<size_t>(stage)]; }
    static QColor PatternColour(int pattern);
    QString MarkerHint(int stage) const;

signals:
    void barsChanged(int flags);
    void chordsReset();
    // A press on the view or a marker, in view coordinates.
    void viewPressed(QMouseEvent* event, bool fromMarker);
    void viewMoved(QMouseEvent* event);

protected:
    void LayoutChanged() override;
    void GetBarTitle(int bar, QString& title) override;
    void DrawContentBack(QPainter& p, int bar, int x, int y) override;
    void DrawContent(QPainter& p, int bar, int x, int y) override;
    void DrawTopStrip(QPainter& p, int bar, int x, int y) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    friend class TStageMarker;
    void Notify(int mask);
    void RebuildMarkers();
    // Split and merge: preview the candidate, or apply it and report.
    bool StageTool(int candidate, int& previewed, bool preview, bool (*apply)(TSongModel&, int));
    TSongModel& Model() const { return *Song(); }

    TMelodyBackup m_backup;
    std::vector<TStageMarker*> m_markers;
    int m_slot = -1;
    int m_splitPreview = -1;
    int m_mergePreview = -1;
    int m_dragStage = -1;
    int m_dragBar = -1;   // the bar the dragged marker would start while dragging
};

// The small triangle marking a stage's first bar; markers k >= 1 drag the
// boundary.
class TStageMarker : public QWidget {
public:
    TStageMarker(TBasePanel& view, int stage);
    int stage;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TBasePanel& m_view;
    int m_grab = 0;
    bool m_dragging = false;
};

} // namespace melodrift
